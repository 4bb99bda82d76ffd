#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <utility>

#include "config/cfg_file.h"
#include "config/field_marks.h"

namespace {

ConfigRecord record(int32_t level, uint16_t car, std::array<uint8_t, kChoiceFieldCount> choices) {
    ConfigRecord r;
    r.can_level = level;
    r.car_number = car;
    r.choices = choices;
    return r;
}

std::string choices_of(const ConfigRecord& r) {
    std::string text;
    for (const uint8_t c : r.choices)
        text += std::to_string(c) + " ";
    return text;
}

TEST(CfgFileTest, WriterGivesAllTenKeysWithCrLfAndReadsBackAsTheSameRecord) {
    const ConfigRecord defaults = record(3, 43, {2, 3, 0, 2, 0, 0, 0, 0});
    EXPECT_EQ(encode_cfg(defaults),
              "canlevel=3\r\ncarnumber=43\r\nvon_speed=2\r\nvoff_speed=3\r\nholdon_time=0\r\n"
              "switchoff_time=2\r\nswitchoff_mode=0\r\nanalog_ign=0\r\nspeedometer_scale=0\r\n"
              "prog_output=0\r\n");
    // The files the program writes come back whole, whatever the page showed before.
    const ConfigRecord elsewhere = record(110, 387, {4, 4, 3, 5, 1, 2, 20, 2});
    for (const ConfigRecord& r :
         {defaults, record(260, 1350, {4, 0, 1, 5, 1, 2, 9, 1}),
          record(65535, 7, {0, 0, 0, 0, 0, 0, 49, 0}), record(0, 0, {0, 0, 0, 0, 0, 0, 0, 0})}) {
        const CfgDecoded decoded = decode_cfg(encode_cfg(r), elsewhere);
        EXPECT_FALSE(decoded.problem) << r.can_level;
        EXPECT_EQ(encode_cfg(decoded.record), encode_cfg(r));
        EXPECT_TRUE(decoded.level_given && decoded.car_given) << r.can_level;
    }
}

TEST(CfgFileTest, ReaderToleratesLineEndsAndMalformedLines) {
    const std::string variants[] = {
        "von_speed=1\nvoff_speed=4\nprog_output=2\n",
        "von_speed=1\r\nvoff_speed=4\r\nprog_output=2\r\n",
        "von_speed=1\r\nvoff_speed=4\r\nprog_output=2",
        "von_speed\nunknown=3\nvon_speed=1\nVOFF_SPEED=0\n\n=2\nvoff_speed=4\nprog_output=2",
    };
    for (const std::string& text : variants) {
        const CfgDecoded decoded = decode_cfg(text, ConfigRecord{});
        EXPECT_EQ(choices_of(decoded.record), "1 4 0 0 0 0 0 2 ") << text;
        EXPECT_FALSE(decoded.level_given || decoded.car_given) << text;
    }
    // A lone carriage return is dropped, not taken for a line end.
    const std::vector<ConfigLine> lines = split_config_lines("voff_speed=4\rprog_output=2\r\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].value, "4prog_output=2");
    // Without one line of ours the file is no configuration.
    EXPECT_EQ(decode_cfg("VON_SPEED=1\nhello=2\n", ConfigRecord{}).problem,
              CfgProblem::no_configuration_lines);
}

TEST(CfgFileTest, TheLevelIsTakenOnlyAsTheDeviceWouldGetIt) {
    // One rule for the file, the page and the tool: digits only, empty is 0.
    const ConfigRecord base = record(5, 43, {});
    for (const auto& [text, level] : {std::pair<const char*, int32_t>{"3", 3},
                                      {"0003", 3},
                                      {"", 0},
                                      {"65535", 65535},
                                      {"257", 257}}) {
        const CfgDecoded decoded = decode_cfg("canlevel=" + std::string(text) + "\n", base);
        EXPECT_FALSE(decoded.problem) << text;
        EXPECT_EQ(decoded.record.can_level, level) << text;
    }
    for (const char* text : {" 3", "3 ", "-3", "abc", "0257x", "255", "256", "65536"}) {
        const CfgDecoded decoded = decode_cfg("canlevel=" + std::string(text) + "\n", base);
        EXPECT_EQ(decoded.problem, CfgProblem::bad_level) << text;
    }
    // Only the level the file ends with counts.
    EXPECT_FALSE(decode_cfg("canlevel=abc\ncanlevel=7\n", base).problem);
}

TEST(CfgFileTest, ALevelThatMovesDropsTheCarNumberUnlessACarNumberLineFollows) {
    const ConfigRecord base = record(3, 43, {});
    const std::tuple<const char*, int32_t, bool> cases[] = {
        {"canlevel=3\n", 43, false},   // the same level keeps the vehicle
        {"canlevel=110\n", 0, false},  // another: its first vehicle
        {"canlevel=110\ncarnumber=387\n", 387, true},
        {"carnumber=387\ncanlevel=110\n", 0, true},  // the level line comes last
        {"carnumber=70000\n", 65535, true},          // beyond the numbers: no vehicle has it
        {"carnumber=-5\n", 0, true},
    };
    for (const auto& [text, car, given] : cases) {
        const CfgDecoded decoded = decode_cfg(text, base);
        EXPECT_EQ(decoded.record.car_number, car) << text;
        EXPECT_EQ(decoded.car_given, given) << text;
    }
}

TEST(CfgFileTest, ValuesAreReadByTheirLeadingDigitsAndRepeatedKeysInFileOrder) {
    const ConfigRecord base = record(0, 0, {0, 0, 0, 0, 0, 2, 0, 0});
    const CfgDecoded decoded =
        decode_cfg("von_speed=2=3\nholdon_time=1\nholdon_time=3\nprog_output= 2x\n", base);
    EXPECT_EQ(choices_of(decoded.record), "2 0 3 0 0 2 0 2 ") << "a missing key keeps the base";
    EXPECT_EQ(decoded.choice_given, (std::array<bool, kChoiceFieldCount>{
                                        true, false, true, false, false, false, false, true}));
}

TEST(CfgFileTest, OutOfRangeChoiceIsNotGivenAndKeepsTheBase) {
    const ConfigRecord base = record(0, 0, {3, 0, 0, 0, 0, 0, 7, 0});
    const CfgDecoded decoded =
        decode_cfg("von_speed=9\nvon_speed=-1\nspeedometer_scale=50\n", base);
    EXPECT_EQ(choices_of(decoded.record), "3 0 0 0 0 0 7 0 ");
    EXPECT_FALSE(decoded.choice_given[kVonSpeed] || decoded.choice_given[kSpeedometerScale]);
    EXPECT_EQ(decode_cfg("speedometer_scale=49\n", base).record.choices[kSpeedometerScale], 49);
}

TEST(CfgFileTest, OverLongLinesAreSkippedWhole) {
    const std::string filler(300, 'x');
    // The tail of the long line must not turn into a line of its own.
    const CfgDecoded decoded =
        decode_cfg("von_speed=1" + filler + "\n" + filler + "voff_speed=4\n" +
                       std::string(250, ' ') + "x\nprog_output=2\n",
                   ConfigRecord{});
    EXPECT_EQ(choices_of(decoded.record), "0 0 0 0 0 0 0 2 ");

    const std::string longest = "holdon_time=" + std::string(243 - 1, '0') + "3";
    ASSERT_EQ(longest.size(), kConfigLineMaxChars);
    EXPECT_EQ(decode_cfg(longest + "\r\n", ConfigRecord{}).record.choices[kHoldonTime], 3);
}

TEST(CfgFileTest, OnlyTheFirst8192BytesAreRead) {
    std::string text = "von_speed=1\n";
    while (text.size() < kConfigFileMaxBytes - 12)
        text += "comment line\n";
    text.resize(kConfigFileMaxBytes - 12, '#');
    text += "\nvoff_speed=4";  // the 4 is byte 8193
    text += "\nprog_output=2\n";
    ASSERT_EQ(text[kConfigFileMaxBytes], '4');

    const std::vector<ConfigLine> lines = split_config_lines(text);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front().key, "von_speed");
    EXPECT_EQ(lines.back().key, "voff_speed");
    EXPECT_EQ(lines.back().value, "");
}

TEST(CfgFileTest, ExtensionIsAddedUnlessTheNameEndsInCfgOrCFG) {
    for (const auto& [name, expected] : {std::pair<const char*, const char*>{"golf", "golf.cfg"},
                                         {"golf.cfg", "golf.cfg"},
                                         {"/tmp/GOLF.CFG", "/tmp/GOLF.CFG"},
                                         {"golf.Cfg", "golf.Cfg.cfg"},
                                         {"golf.cfg.bak", "golf.cfg.bak.cfg"},
                                         {"cfg", "cfg.cfg"}}) {
        EXPECT_EQ(with_config_extension(name), expected);
    }
}

TEST(FieldMarks, TheLevelEntryComparesTheNumberItsTextStartsWith) {
    const std::tuple<const char*, int, bool> cases[] = {{"0500", 500, false},
                                                        {"abc", 0, false},
                                                        {"7", 0, true},
                                                        {"0", 0, false},
                                                        {"12x", 12, false}};
    for (const auto& [text, reference, red] : cases)
        EXPECT_EQ(level_marked(text, reference), red) << text;
    EXPECT_TRUE(choice_marked(-1, 3)) << "a box without a selection differs from its byte";
}

}  // namespace
