#include <gtest/gtest.h>

#include "config/config_record.h"

namespace {

ConfigBlock encode_level(int32_t level) {
    ConfigRecord record;
    record.can_level = level;
    return encode_config_record(record);
}

TEST(ConfigRecordTest, LevelTravelsInLowOrExtendedForm) {
    const ConfigBlock low = encode_level(254);
    EXPECT_EQ(low[0], 254);
    EXPECT_EQ(low[11], 0);
    EXPECT_EQ(low[12], 0);

    const ConfigBlock first_extended = encode_level(257);
    EXPECT_EQ(first_extended[0], 255);
    EXPECT_EQ(first_extended[11], 0x01);
    EXPECT_EQ(first_extended[12], 0x00);

    const ConfigBlock highest = encode_level(65535);
    EXPECT_EQ(highest[0], 255);
    EXPECT_EQ(highest[11], 0xFF);
    EXPECT_EQ(highest[12], 0xFE);

    for (int32_t level : {0, 3, 254, 257, 300, 4096, 65535}) {
        EXPECT_EQ(decode_config_record(encode_level(level).data()).can_level, level) << level;
    }
}

TEST(ConfigRecordTest, DecodingIgnoresExtendedBytesOfLowLevelsAndDoesNotClamp) {
    ConfigBlock block{};
    block[0] = 17;
    block[11] = 0x12;
    block[12] = 0x34;
    EXPECT_EQ(decode_can_level(block.data()), 17);

    block[0] = 255;
    block[11] = 0xFF;
    block[12] = 0xFF;
    EXPECT_EQ(decode_can_level(block.data()), 65536);
}

TEST(ConfigRecordTest, FieldsKeepTheirBytePositions) {
    ConfigRecord record;
    record.can_level = 3;
    record.choices = {1, 2, 3, 4, 1, 2, 49, 2};
    record.car_number = 0x0586;
    const ConfigBlock block = encode_config_record(record);
    const ConfigBlock expected = {3, 1, 2, 3, 4, 1, 2, 49, 2, 0x05, 0x86, 0, 0};
    EXPECT_EQ(block, expected);

    const ConfigRecord back = decode_config_record(block.data());
    EXPECT_EQ(back.choices, record.choices);
    EXPECT_EQ(back.car_number, 0x0586);
}

TEST(ConfigRecordTest, DefaultBlockIsGolfVWithFactoryChoices) {
    const ConfigRecord defaults = decode_config_record(kDefaultConfigBlock.data());
    EXPECT_EQ(defaults.can_level, 3);
    EXPECT_EQ(defaults.car_number, 43);
    const std::array<uint8_t, kChoiceFieldCount> expected = {2, 3, 0, 2, 0, 0, 0, 0};
    EXPECT_EQ(defaults.choices, expected);
}

TEST(ConfigRecordTest, LevelTextRules) {
    int32_t level = -7;
    EXPECT_TRUE(parse_can_level_text("", &level));
    EXPECT_EQ(level, 0);
    EXPECT_TRUE(parse_can_level_text("254", &level));
    EXPECT_EQ(level, 254);
    EXPECT_TRUE(parse_can_level_text("257", &level));
    EXPECT_TRUE(parse_can_level_text("065535", &level));
    EXPECT_EQ(level, 65535);

    level = 42;
    for (const char* refused :
         {"255", "256", "65536", "-1", "12a", " 3", "+3", "99999999999999999999"}) {
        EXPECT_FALSE(parse_can_level_text(refused, &level)) << refused;
    }
    EXPECT_EQ(level, 42);
}

TEST(ConfigRecordTest, LeadingIntReadsLikeAtoiWithoutOverflow) {
    EXPECT_EQ(leading_int("2=3"), 2);
    EXPECT_EQ(leading_int("abc"), 0);
    EXPECT_EQ(leading_int("  -12x"), -12);
    EXPECT_EQ(leading_int(""), 0);
    EXPECT_EQ(leading_int("99999999999999999999"), INT32_MAX);
}

}  // namespace
