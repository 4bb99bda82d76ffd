#include "platform/folder_list.h"

#include "platform/utf16_win32.h"

bool list_folder(const std::string& folder, size_t max_entries, std::vector<std::string>& names) {
    names.clear();
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(to_utf16(folder + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    do {
        if (names.size() >= max_entries)
            break;
        names.push_back(to_utf8(found.cFileName));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return true;
}
