// The GTK themes the user can choose from: the theme folder beside the program, the names it
// offers, and the resource file that makes the next start use one of them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

constexpr size_t kMaxThemeNames = 500;
constexpr size_t kMaxThemeNameLength = 99;
constexpr const char* kThemeSettingsFileName = ".qngrc-2.0";

// The folder two levels above the program file (its "bin" folder's parent), as a prefix for
// "share/themes". Either separator counts. Empty when the path has fewer than two separators.
std::string program_prefix(const std::string& program_file);
// program_prefix followed by "share/themes/" with the path's own separator; empty when there is
// no prefix.
std::string theme_folder(const std::string& program_file);

// The names a folder listing offers as themes: no name beginning with ".", none longer than
// kMaxThemeNameLength, none that a resource file string cannot hold (quotes, backslashes,
// control characters); sorted byte-wise, the first kMaxThemeNames of them.
std::vector<std::string> theme_names(std::vector<std::string> entries);
// The names in a theme folder; false when it cannot be listed.
bool list_theme_names(const std::string& folder, std::vector<std::string>& names);

// The resource file's whole content for a theme: three lines naming it as the GTK, cursor
// and icon theme.
std::string theme_settings_text(const std::string& theme);
// Writes the resource file into the profile folder; false when it cannot.
bool write_theme_settings(const std::string& theme);
