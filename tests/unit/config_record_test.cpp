#include <gtest/gtest.h>

#include "app/number_text.h"
#include "config/config_record.h"

namespace {

TEST(ConfigRecordTest, FieldsKeepTheirBytePositionsAndLevelsTheirTwoForms) {
    ConfigRecord record;
    record.can_level = 3;
    record.choices = {1, 2, 3, 4, 1, 2, 49, 2};
    record.car_number = 0x0586;
    const ConfigBlock block = encode_config_record(record);
    EXPECT_EQ(block, (ConfigBlock{3, 1, 2, 3, 4, 1, 2, 49, 2, 0x05, 0x86, 0, 0}));
    const ConfigRecord back = decode_config_record(block.data());
    EXPECT_EQ(back.choices, record.choices);
    EXPECT_EQ(back.car_number, 0x0586);

    // {level, byte 0, byte 11, byte 12}: up to 254 in byte 0, above as 255 and level - 1.
    const int32_t forms[][4] = {{254, 254, 0, 0}, {257, 255, 0x01, 0x00}, {65535, 255, 0xFF, 0xFE}};
    for (const auto& form : forms) {
        record.can_level = form[0];
        const ConfigBlock encoded = encode_config_record(record);
        EXPECT_EQ(encoded[0], form[1]) << form[0];
        EXPECT_EQ(encoded[11], form[2]) << form[0];
        EXPECT_EQ(encoded[12], form[3]) << form[0];
        EXPECT_EQ(decode_config_record(encoded.data()).can_level, form[0]);
    }
}

TEST(ConfigRecordTest, DecodingIgnoresExtendedBytesOfLowLevelsAndDoesNotClamp) {
    ConfigBlock block{17, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x12, 0x34};
    EXPECT_EQ(decode_can_level(block.data()), 17);
    block[0] = 255;
    block[11] = block[12] = 0xFF;
    EXPECT_EQ(decode_can_level(block.data()), 65536);
}

TEST(ConfigRecordTest, LevelTextRules) {
    int32_t level = -7;
    for (const auto& [text, value] :
         {std::pair<const char*, int32_t>{"", 0}, {"254", 254}, {"257", 257}, {"065535", 65535}}) {
        EXPECT_TRUE(parse_can_level_text(text, &level)) << text;
        EXPECT_EQ(level, value) << text;
    }
    for (const char* refused :
         {"255", "256", "65536", "-1", "12a", " 3", "+3", "99999999999999999999"}) {
        EXPECT_FALSE(parse_can_level_text(refused, &level)) << refused;
    }
    EXPECT_EQ(level, 65535) << "a refused text leaves the level alone";
}

TEST(ConfigRecordTest, LeadingIntReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(leading_int("2=3"), 2);
    EXPECT_EQ(leading_int("abc"), 0);
    EXPECT_EQ(leading_int("  -12x"), -12);
    EXPECT_EQ(leading_int(""), 0);
    EXPECT_EQ(leading_int("99999999999999999999"), INT32_MAX);
}

}  // namespace
