#include "platform/data_folder.h"

#include "platform/utf16_win32.h"

std::string user_data_folder() {
    // The wide variable: a profile folder named after its user is often not ASCII.
    const std::string local = environment_utf8(L"LOCALAPPDATA");
    if (local.empty())
        return {};
    return data_path(local, "qn718-programmer");
}

std::string data_path(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/')
        return folder + name;
    return folder + "\\" + name;
}
