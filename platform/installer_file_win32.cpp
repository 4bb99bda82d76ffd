#include "platform/installer_file.h"

#include "platform/utf16_win32.h"

#include <shellapi.h>

#include "platform/profile_folder.h"

std::string installer_file_path() {
    const std::string profile = profile_folder();
    if (profile.empty())
        return {};
    return profile_file("AppData\\Local\\Temp\\Autoupdate.exe");
}

namespace {

bool make_folder(const std::string& path) {
    return CreateDirectoryW(to_utf16(path).c_str(), nullptr) != 0 ||
           GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace

// The temporary folder and the one above it may be missing in a fresh profile.
bool prepare_installer_folder(const std::string& installer_file) {
    const size_t folder_end = installer_file.find_last_of("/\\");
    if (folder_end == std::string::npos || folder_end == 0)
        return false;
    const std::string folder = installer_file.substr(0, folder_end);
    const size_t parent_end = folder.find_last_of("/\\");
    if (parent_end != std::string::npos && parent_end > 0 &&
        !make_folder(folder.substr(0, parent_end)))
        return false;
    return make_folder(folder);
}

bool open_installer(const std::string& path) {
    // Values above 32 mean success; the installer then runs on its own.
    const HINSTANCE result =
        ShellExecuteW(nullptr, L"open", to_utf16(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
