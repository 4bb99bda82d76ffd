#include "platform/user_locale.h"

#include "platform/utf16_win32.h"

std::string user_locale_language() {
    wchar_t name[LOCALE_NAME_MAX_LENGTH];
    const int length = GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
    if (length <= 1)
        return {};
    // "pl-PL" and the like: only the language is matched.
    std::string locale = to_utf8(name, static_cast<size_t>(length - 1));
    const size_t cut = locale.find_first_of("-_");
    if (cut != std::string::npos)
        locale.erase(cut);
    return locale;
}
