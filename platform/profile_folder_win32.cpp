#include "platform/profile_folder.h"

#include "platform/utf16_win32.h"

std::string profile_folder() {
    // The wide variable: a profile folder named after its user is often not ASCII.
    for (const wchar_t* name : {L"USERPROFILE", L"HOME"}) {
        std::string value = environment_utf8(name);
        if (!value.empty())
            return value;
    }
    return {};
}

std::string profile_file(const char* name) {
    std::string path = profile_folder();
    if (!path.empty() && path.back() != '\\' && path.back() != '/')
        path.push_back('\\');
    return path + name;
}
