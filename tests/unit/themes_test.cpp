#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/themes.h"
#include "user_settings_test_profile.h"

TEST(Themes, FolderTwoLevelsAboveTheProgram) {
    EXPECT_EQ(theme_folder("/usr/bin/qn718-programmer"), "/usr/share/themes/");
    EXPECT_EQ(theme_folder("C:\\A\\B\\bin\\prog.exe"), "C:\\A\\B\\share\\themes\\");
    EXPECT_EQ(theme_folder("/bin/qn718-programmer"), "/share/themes/");
    EXPECT_EQ(theme_folder("build/qn718-programmer"), "");
    EXPECT_EQ(theme_folder("qn718-programmer"), "");
    EXPECT_EQ(program_prefix("/opt/qn718/bin/qn718-programmer"), "/opt/qn718");
}

TEST(Themes, NamesSortedByteWiseWithoutHiddenOrUnusableOnesAtMostFiveHundred) {
    EXPECT_EQ(theme_names({"Raleigh", ".", "a-theme", "MS-Windows", "..", ".hidden", "Clearlooks",
                           std::string(100, 'L'), std::string(99, 'K'), "Quo\"te", "Back\\slash",
                           "New\nline"}),
              (std::vector<std::string>{"Clearlooks", std::string(99, 'K'), "MS-Windows", "Raleigh",
                                        "a-theme"}));
    std::vector<std::string> entries;
    for (int i = 999; i >= 0; --i)
        entries.push_back("t" + std::to_string(1000 + i));
    const std::vector<std::string> names = theme_names(entries);
    ASSERT_EQ(names.size(), kMaxThemeNames);
    EXPECT_EQ(names.front(), "t1000");
    EXPECT_EQ(names.back(), "t1499");
}

using ThemeFiles = TestProfile;

TEST_F(ThemeFiles, ListsAFolderAndWritesTheResourceFileIntoTheProfile) {
    const std::filesystem::path folder = std::filesystem::u8path(folder_) / "themes";
    std::filesystem::create_directories(folder / "Zeta" / "gtk-2.0");
    std::filesystem::create_directories(folder / ".cache");
    std::filesystem::create_directories(folder / "Alpha");
    std::ofstream(folder / "README");
    std::vector<std::string> names;
    EXPECT_TRUE(list_theme_names(folder.u8string() + "/", names));
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "README", "Zeta"}));
    EXPECT_FALSE(list_theme_names((folder / "README").u8string(), names)) << "not a folder";
    EXPECT_FALSE(list_theme_names((folder / "missing").u8string(), names));

    ASSERT_TRUE(write_theme_settings("Clearlooks"));
    std::string text;
    EXPECT_TRUE(read_whole_file(folder_ + "/" + kThemeSettingsFileName, 1000, text));
    EXPECT_EQ(text,
              "gtk-theme-name = \"Clearlooks\"\n"
              "gtk-cursor-theme-name = \"Clearlooks\"\n"
              "gtk-icon-theme-name = \"Clearlooks\"\n");
}
