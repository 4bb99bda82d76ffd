#include "platform/user_locale.h"

#include <cstdlib>

std::string user_locale_language() {
    // The same order the C library uses to pick the message language.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        std::string locale = value;
        if (locale == "C" || locale == "POSIX" || locale.rfind("C.", 0) == 0)
            return {};
        const size_t cut = locale.find_first_of(".@");
        if (cut != std::string::npos)
            locale.erase(cut);
        if (locale.size() > 100)
            locale.erase(100);
        return locale;
    }
    return {};
}
