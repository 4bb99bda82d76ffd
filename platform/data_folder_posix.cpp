#include "platform/data_folder.h"

#include <cstdlib>

std::string user_data_folder() {
    // Relative values are invalid by the XDG rules and would depend on the working folder.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/qn718-programmer";
    const char* home = std::getenv("HOME");
    if (!home || !*home)
        return {};
    return std::string(home) + "/.local/share/qn718-programmer";
}

std::string data_path(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}
