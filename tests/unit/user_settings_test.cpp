// The settings file: its byte layout, its tolerance of damaged files, and its place on disk.
#include <gtest/gtest.h>

#include <string>

#include "app/user_settings.h"
#include "user_settings_test_profile.h"

using namespace std::string_literals;

namespace {

std::string values_of(const UserSettings& s) {
    std::string text = std::to_string(s.update_check) + "|" + s.language + "|" +
                       s.last_firmware_folder + "|" + s.last_log_folder + "|" +
                       s.last_config_folder;
    for (const std::string& filter : s.filter_strings)
        text += "|" + filter;
    return text;
}

TEST(UserSettingsCodec, PreferenceByteThenTwentyNineTerminatedStringsBothWays) {
    EXPECT_EQ(encode_user_settings(UserSettings{}), "\x01"s + std::string(29, '\0'));

    UserSettings s;
    s.update_check = 0;
    s.language = "cs";
    s.last_firmware_folder = "/home/jan/firmware";
    s.last_log_folder = "/home/jan/logi ąę";
    s.last_config_folder = "/mnt/usb/cfg";
    s.filter_strings[0] = "01";
    s.filter_strings[24] = std::string(kFilterStringMaxLength, 'F');
    EXPECT_EQ(encode_user_settings(s),
              "\0cs\0/home/jan/firmware\0/home/jan/logi ąę\0/mnt/usb/cfg\0"s + "01\0"s +
                  std::string(23, '\0') + std::string(kFilterStringMaxLength, 'F') + '\0');
    EXPECT_EQ(values_of(decode_user_settings(encode_user_settings(s))), values_of(s));
}

TEST(UserSettingsCodec, EmptyOrShortDataGivesDefaultsForWhatIsMissing) {
    EXPECT_EQ(values_of(decode_user_settings("")), values_of(UserSettings{}));
    EXPECT_EQ(decode_user_settings("").update_check, 1);

    UserSettings polish;
    polish.update_check = 0;
    polish.language = "pl";
    EXPECT_EQ(values_of(decode_user_settings("\0pl\0"s)), values_of(polish));

    // The last string has no terminator: it runs to the end of the data.
    const UserSettings cut = decode_user_settings("\x05pl\0/fw/new"s);
    EXPECT_EQ(cut.update_check, 5);
    EXPECT_EQ(cut.last_firmware_folder, "/fw/new");
    EXPECT_EQ(cut.last_log_folder, "");
}

TEST(UserSettingsCodec, OverlongDataIsCutWhereTheFileReaderWould) {
    const std::string head = "\x01pl\0\0\0\0"s;
    UserSettings s = decode_user_settings(head + std::string(60, 'A') + '\0' + "next\0"s);
    EXPECT_EQ(s.filter_strings[0], std::string(kFilterStringMaxLength, 'A'));
    EXPECT_EQ(s.filter_strings[1], "next");
    // A cut never leaves half a character behind.
    s = decode_user_settings(head + std::string(48, 'A') + "ż\0"s);
    EXPECT_EQ(s.filter_strings[0], std::string(48, 'A'));
    // Data past the read limit is ignored, also inside a string.
    s = decode_user_settings("\x01"s + std::string(6000, 'x'));
    EXPECT_EQ(s.language.size(), kUserSettingsMaxBytes - 1);
}

using UserSettingsFile = TestProfile;

TEST_F(UserSettingsFile, MissingOrEmptyFileGivesDefaultsAndSavedValuesSurviveAReload) {
    EXPECT_EQ(values_of(load_user_settings()), values_of(UserSettings{}));
    EXPECT_FALSE(settings_file_exists()) << "loading never creates it";
    write_settings_file("");
    EXPECT_EQ(load_user_settings().update_check, 1);

    UserSettings saved;
    saved.update_check = 0;
    saved.language = "pl";
    saved.filter_strings[7] = "0a";
    save_user_settings(saved);
    EXPECT_EQ(read_settings_file(),
              "\0pl\0\0\0\0"s + std::string(7, '\0') + "0a\0"s + std::string(17, '\0'));
    EXPECT_EQ(values_of(load_user_settings()), values_of(saved));
}

TEST_F(UserSettingsFile, UnwritableFolderIsIgnored) {
    set_environment("USERPROFILE", (folder_ + "/missing/folder").c_str());
    UserSettings settings;
    settings.language = "cs";
    save_user_settings(settings);
    EXPECT_FALSE(settings_file_exists());
}

}  // namespace
