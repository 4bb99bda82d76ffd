#include <gtest/gtest.h>

#include <string>

#include "app/user_settings.h"
#include "user_settings_test_profile.h"

using namespace std::string_literals;

using UserSettingsFile = TestProfile;

TEST_F(UserSettingsFile, MissingOrEmptyFileGivesDefaultsWithUpdateCheckOn) {
    user_settings().update_check = 0;
    user_settings().language = "sk";
    load_user_settings();
    EXPECT_EQ(user_settings().update_check, 1);
    EXPECT_EQ(user_settings().language, "");
    EXPECT_FALSE(settings_file_exists());  // loading never creates it

    write_settings_file("");
    user_settings().update_check = 0;
    load_user_settings();
    EXPECT_EQ(user_settings().update_check, 1);
}

TEST_F(UserSettingsFile, SavedValuesSurviveAReload) {
    user_settings().update_check = 0;
    user_settings().language = "pl";
    user_settings().last_config_folder = "/media/cfg";
    user_settings().filter_strings[7] = "0a";
    save_user_settings();
    EXPECT_EQ(read_settings_file(),
              "\0pl\0\0\0/media/cfg\0"s + std::string(7, '\0') + "0a\0"s + std::string(17, '\0'));

    user_settings() = UserSettings{};
    load_user_settings();
    EXPECT_EQ(user_settings().update_check, 0);
    EXPECT_EQ(user_settings().language, "pl");
    EXPECT_EQ(user_settings().last_config_folder, "/media/cfg");
    EXPECT_EQ(user_settings().filter_strings[7], "0a");
}

TEST_F(UserSettingsFile, UnwritableFolderIsIgnoredAndValuesStay) {
    setenv("USERPROFILE", (folder_ + "/missing/folder").c_str(), 1);
    user_settings().language = "cs";
    save_user_settings();
    EXPECT_EQ(user_settings().language, "cs");
    EXPECT_FALSE(settings_file_exists());
}
