#include <gtest/gtest.h>

#include <string>

#include "app/user_settings.h"

using namespace std::string_literals;

namespace {

UserSettings sample_settings() {
    UserSettings s;
    s.update_check = 0;
    s.language = "cs";
    s.last_firmware_folder = "/home/jan/firmware";
    s.last_log_folder = "/home/jan/logi ąę";
    s.last_config_folder = "/mnt/usb/cfg";
    for (int i = 0; i < kFilterStringCount; ++i)
        s.filter_strings[i] = "tag" + std::to_string(i);
    s.filter_strings[24] = std::string(kFilterStringMaxLength, 'F');
    return s;
}

void expect_equal(const UserSettings& a, const UserSettings& b) {
    EXPECT_EQ(a.update_check, b.update_check);
    EXPECT_EQ(a.language, b.language);
    EXPECT_EQ(a.last_firmware_folder, b.last_firmware_folder);
    EXPECT_EQ(a.last_log_folder, b.last_log_folder);
    EXPECT_EQ(a.last_config_folder, b.last_config_folder);
    EXPECT_EQ(a.filter_strings, b.filter_strings);
}

}  // namespace

TEST(UserSettingsCodec, LayoutIsPreferenceByteThenTwentyNineTerminatedStrings) {
    EXPECT_EQ(encode_user_settings(UserSettings{}), "\x01"s + std::string(29, '\0'));

    UserSettings s;
    s.language = "pl";
    s.last_log_folder = "/logs";
    s.filter_strings[0] = "01";
    s.filter_strings[24] = "ff";
    EXPECT_EQ(encode_user_settings(s),
              "\x01pl\0\0/logs\0\0"s + "01\0"s + std::string(23, '\0') + "ff\0"s);
}

TEST(UserSettingsCodec, RoundTripKeepsEveryValue) {
    const UserSettings original = sample_settings();
    expect_equal(decode_user_settings(encode_user_settings(original)), original);
}

TEST(UserSettingsCodec, EmptyOrShortDataGivesDefaultsForWhatIsMissing) {
    const UserSettings empty = decode_user_settings("");
    expect_equal(empty, UserSettings{});
    EXPECT_EQ(empty.update_check, 1);

    const UserSettings polish = decode_user_settings("\0pl\0"s);
    EXPECT_EQ(polish.update_check, 0);
    EXPECT_EQ(polish.language, "pl");
    EXPECT_EQ(polish.last_firmware_folder, "");
    EXPECT_EQ(polish.last_log_folder, "");
    EXPECT_EQ(polish.last_config_folder, "");
    for (const std::string& filter : polish.filter_strings)
        EXPECT_EQ(filter, "");

    // The last string has no terminator: it runs to the end of the data.
    const UserSettings cut = decode_user_settings("\x05pl\0/fw/new"s);
    EXPECT_EQ(cut.update_check, 5);
    EXPECT_EQ(cut.last_firmware_folder, "/fw/new");
    EXPECT_EQ(cut.last_log_folder, "");
}

TEST(UserSettingsCodec, OverlongDataIsCutWhereTheFileReaderWould) {
    std::string bytes = "\x01pl\0\0\0\0"s + std::string(60, 'A') + '\0' + "next\0"s;
    UserSettings s = decode_user_settings(bytes);
    EXPECT_EQ(s.filter_strings[0], std::string(kFilterStringMaxLength, 'A'));
    EXPECT_EQ(s.filter_strings[1], "next");

    // A cut never leaves half a character behind.
    bytes = "\x01pl\0\0\0\0"s + std::string(48, 'A') + "ż\0"s;
    EXPECT_EQ(decode_user_settings(bytes).filter_strings[0], std::string(48, 'A'));

    // Data past the read limit is ignored, also inside a string.
    bytes = "\x01"s + std::string(6000, 'x');
    EXPECT_EQ(decode_user_settings(bytes).language.size(), kUserSettingsMaxBytes - 1);
}
