#include "platform/installer_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "platform/processes.h"

namespace {

bool make_folder(const std::string& path) {
    return mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace

std::string installer_file_path() {
    std::string cache;
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') {
        cache = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home)
            return {};
        cache = std::string(home) + "/.cache";
    }
    return cache + "/qn718-programmer/Autoupdate.exe";
}

bool prepare_installer_folder(const std::string& installer_file) {
    const size_t folder_end = installer_file.rfind('/');
    if (folder_end == std::string::npos || folder_end == 0)
        return false;
    const std::string folder = installer_file.substr(0, folder_end);
    const size_t cache_end = folder.rfind('/');
    if (cache_end != std::string::npos && cache_end > 0 &&
        !make_folder(folder.substr(0, cache_end)))
        return false;
    return make_folder(folder);
}

bool open_installer(const std::string& path) {
    return start_process("xdg-open \"" + path + "\"");
}
