#include "app/themes.h"

#include <algorithm>

#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/profile_folder.h"

namespace {

// A folder of several thousand entries is read no further; it is not a theme folder.
constexpr size_t kMaxFolderEntries = 10000;

bool fits_resource_string(const std::string& name) {
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

}  // namespace

std::string program_prefix(const std::string& program_file) {
    const size_t last = program_file.find_last_of("/\\");
    if (last == std::string::npos || last == 0)
        return {};
    const size_t before = program_file.find_last_of("/\\", last - 1);
    if (before == std::string::npos)
        return {};
    // A program directly in "/bin" has the root as its prefix.
    return before == 0 ? program_file.substr(0, 1) : program_file.substr(0, before);
}

std::string theme_folder(const std::string& program_file) {
    std::string prefix = program_prefix(program_file);
    if (prefix.empty())
        return {};
    // The separator the path itself uses, so that a Windows path stays one.
    const char separator = program_file[program_file.find_last_of("/\\")];
    if (prefix.back() == '/' || prefix.back() == '\\')
        prefix.pop_back();
    return prefix + separator + "share" + separator + "themes" + separator;
}

std::vector<std::string> theme_names(std::vector<std::string> entries) {
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const std::string& name) {
                                     return name.empty() || name[0] == '.' ||
                                            name.size() > kMaxThemeNameLength ||
                                            !fits_resource_string(name);
                                 }),
                  entries.end());
    // std::string compares as strcmp does: byte by byte, unsigned.
    std::sort(entries.begin(), entries.end());
    if (entries.size() > kMaxThemeNames)
        entries.resize(kMaxThemeNames);
    return entries;
}

bool list_theme_names(const std::string& folder, std::vector<std::string>& names) {
    std::vector<std::string> entries;
    if (folder.empty() || !list_folder(folder, kMaxFolderEntries, entries))
        return false;
    names = theme_names(std::move(entries));
    return true;
}

std::string theme_settings_text(const std::string& theme) {
    return "gtk-theme-name = \"" + theme + "\"\n" + "gtk-cursor-theme-name = \"" + theme + "\"\n" +
           "gtk-icon-theme-name = \"" + theme + "\"\n";
}

bool write_theme_settings(const std::string& theme) {
    return write_whole_file(profile_file(kThemeSettingsFileName), theme_settings_text(theme));
}
