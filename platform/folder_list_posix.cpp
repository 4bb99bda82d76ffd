#include "platform/folder_list.h"

#include <dirent.h>

#include <memory>

bool list_folder(const std::string& folder, size_t max_entries, std::vector<std::string>& names) {
    names.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> listing(opendir(folder.c_str()), closedir);
    if (!listing)
        return false;
    while (names.size() < max_entries) {
        const dirent* entry = readdir(listing.get());
        if (!entry)
            break;
        names.emplace_back(entry->d_name);
    }
    return true;
}
