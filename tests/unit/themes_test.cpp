#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/language_choice.h"
#include "app/themes.h"

TEST(Themes, FolderTwoLevelsAboveTheProgram) {
    EXPECT_EQ(theme_folder("/usr/bin/qn718-programmer"), "/usr/share/themes/");
    EXPECT_EQ(theme_folder("C:\\A\\B\\bin\\prog.exe"), "C:\\A\\B\\share\\themes\\");
    EXPECT_EQ(theme_folder("/bin/qn718-programmer"), "/share/themes/");
    EXPECT_EQ(theme_folder("build/qn718-programmer"), "");
    EXPECT_EQ(theme_folder("qn718-programmer"), "");
    EXPECT_EQ(program_prefix("/opt/qn718/bin/qn718-programmer"), "/opt/qn718");
}

TEST(Themes, NamesSortedByteWiseWithoutHiddenOrUnusableOnes) {
    EXPECT_EQ(theme_names({"Raleigh", ".", "a-theme", "MS-Windows", "..", ".hidden", "Clearlooks",
                           std::string(100, 'L'), std::string(99, 'K'), "Quo\"te", "Back\\slash",
                           "New\nline"}),
              (std::vector<std::string>{"Clearlooks", std::string(99, 'K'), "MS-Windows", "Raleigh",
                                        "a-theme"}));
}

TEST(Themes, AtMostFiveHundredNames) {
    std::vector<std::string> entries;
    for (int i = 999; i >= 0; --i)
        entries.push_back("t" + std::to_string(1000 + i));
    const std::vector<std::string> names = theme_names(entries);
    ASSERT_EQ(names.size(), kMaxThemeNames);
    EXPECT_EQ(names.front(), "t1000");
    EXPECT_EQ(names.back(), "t1499");
}

TEST(Themes, ListsAFolder) {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qn718-themes-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "Zeta" / "gtk-2.0");
    std::filesystem::create_directories(folder / ".cache");
    std::filesystem::create_directories(folder / "Alpha");
    std::ofstream(folder / "README");
    std::vector<std::string> names;
    EXPECT_TRUE(list_theme_names(folder.string() + "/", names));
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "README", "Zeta"}));
    EXPECT_FALSE(list_theme_names((folder / "README").string(), names)) << "not a folder";
    EXPECT_FALSE(list_theme_names((folder / "missing").string(), names));
    std::filesystem::remove_all(folder);
}

TEST(Themes, SettingsFileAndRestartCommand) {
    EXPECT_EQ(theme_settings_text("Clearlooks"),
              "gtk-theme-name = \"Clearlooks\"\n"
              "gtk-cursor-theme-name = \"Clearlooks\"\n"
              "gtk-icon-theme-name = \"Clearlooks\"\n");
    // A theme change restarts without a language: the new copy keeps the stored one.
    EXPECT_EQ(restart_command_line("/usr/bin/qn718-programmer", false, nullptr),
              "\"/usr/bin/qn718-programmer\"");
}
