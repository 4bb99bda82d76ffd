#include "platform/profile_folder.h"

#include <cstdlib>

std::string profile_folder() {
    for (const char* name : {"USERPROFILE", "HOME"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return value;
    }
    return {};
}

std::string profile_file(const char* name) {
    std::string path = profile_folder();
    if (!path.empty() && path.back() != '/')
        path.push_back('/');
    return path + name;
}
