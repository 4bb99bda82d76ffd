#include <gtest/gtest.h>

#include <string>

#include <tuple>

#include "config/cfg_file.h"
#include "config/config_history.h"
#include "recording_page.h"

namespace {

TEST(CfgFileTest, WriterGivesAllTenKeysWithCrLfAndTakesTheReferencesFromThePage) {
    RecordingPage page;
    page.level = "3";
    page.selected_car = 43;
    page.choices = {2, 3, 0, 2, 0, 0, 0, 0};
    EXPECT_EQ(write_config_text(page),
              "canlevel=3\r\ncarnumber=43\r\nvon_speed=2\r\nvoff_speed=3\r\nholdon_time=0\r\n"
              "switchoff_time=2\r\nswitchoff_mode=0\r\nanalog_ign=0\r\nspeedometer_scale=0\r\n"
              "prog_output=0\r\n");
    // A history entry's record lines are the same file.
    ConfigRecord record;
    record.can_level = 3;
    record.car_number = 43;
    record.choices = {2, 3, 0, 2, 0, 0, 0, 0};
    EXPECT_EQ(record_config_text(record), write_config_text(page));

    page.level = "0257x";
    page.level_red = true;
    page.choices[kProgOutput] = 2;
    page.choice_red[kProgOutput] = true;
    page.save_red = true;
    const std::string text = write_config_text(page);
    EXPECT_NE(text.find("canlevel=257\r\n"), std::string::npos);
    EXPECT_NE(text.find("prog_output=2\r\n"), std::string::npos);
    EXPECT_EQ(page.reference().level, 257);
    EXPECT_EQ(page.reference().choices[kProgOutput], 2);
    EXPECT_EQ(page.marks(), "Save") << "only a write to the device clears Save";
}

TEST(CfgFileTest, ReaderToleratesLineEndsAndMalformedLines) {
    const std::string variants[] = {
        "von_speed=1\nvoff_speed=4\nprog_output=2\n",
        "von_speed=1\r\nvoff_speed=4\r\nprog_output=2\r\n",
        "von_speed=1\r\nvoff_speed=4\r\nprog_output=2",
        "von_speed\nunknown=3\nvon_speed=1\nVOFF_SPEED=0\n\n=2\nvoff_speed=4\nprog_output=2",
    };
    for (const std::string& text : variants) {
        RecordingPage page;
        read_config_text(page, text);
        EXPECT_EQ(page.choices[kVonSpeed], 1) << text;
        EXPECT_EQ(page.choices[kVoffSpeed], 4) << text;
        EXPECT_EQ(page.choices[kProgOutput], 2) << text;
    }
    // A lone carriage return is dropped, not taken for a line end.
    const std::vector<ConfigLine> lines = split_config_lines("voff_speed=4\rprog_output=2\r\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].value, "4prog_output=2");
}

TEST(CfgFileTest, CarNumberIsLookedUpUnderTheLevelTheEntryReadsFromTheFileText) {
    // The entry keeps the file's text; the selection and the saved file follow its leading
    // digits, so a sign or a leading space reads as level 0, as on the page.
    const std::tuple<const char*, int32_t> cases[] = {
        {"3", 3}, {"3 ", 3}, {" 3", 0}, {"-3", 0}, {"", 0}};
    for (const auto& [level_text, level] : cases) {
        RecordingPage page;
        read_config_text(page, "canlevel=" + std::string(level_text) + "\ncarnumber=43\n");
        ASSERT_FALSE(page.vehicle_requests.empty()) << level_text;
        const VehicleRequest& last = page.vehicle_requests.back();
        EXPECT_EQ(std::make_tuple(last.level, last.car_number, last.update_entry),
                  std::make_tuple(level, 43, false))
            << level_text;
        EXPECT_EQ(page.level, level_text);
        EXPECT_EQ(write_config_text(page).rfind("canlevel=" + std::to_string(level) + "\r\n", 0),
                  0u)
            << level_text;
    }
}

TEST(CfgFileTest, ValuesAreReadByTheirLeadingDigitsAndRepeatedKeysInFileOrder) {
    RecordingPage page;
    page.choices[kAnalogIgn] = 2;
    read_config_text(page, "von_speed=2=3\ncanlevel=abc\nholdon_time=1\nholdon_time=3\n");
    EXPECT_EQ(page.choices[kVonSpeed], 2);
    EXPECT_EQ(page.level, "abc");
    EXPECT_EQ(page.reference().level, 0);
    EXPECT_EQ(page.choices[kHoldonTime], 3);
    EXPECT_EQ(page.reference().choices[kHoldonTime], 3);
    EXPECT_EQ(page.choices[kAnalogIgn], 2) << "a missing key leaves its field";

    read_config_text(page, "canlevel=257\n");
    EXPECT_EQ(page.level, "257");
    EXPECT_EQ(page.reference().level, 257);
}

TEST(CfgFileTest, OutOfRangeChoiceLeavesFieldAndReference) {
    RecordingPage page;
    page.choices[kVonSpeed] = 3;
    page.reference().choices[kVonSpeed] = 1;
    read_config_text(page, "von_speed=9\nvon_speed=-1\nspeedometer_scale=50\n");
    EXPECT_EQ(page.choices[kVonSpeed], 3);
    EXPECT_EQ(page.reference().choices[kVonSpeed], 1);
    EXPECT_EQ(page.choices[kSpeedometerScale], 0);

    read_config_text(page, "speedometer_scale=49\n");
    EXPECT_EQ(page.choices[kSpeedometerScale], 49);
}

TEST(CfgFileTest, OverLongLinesAreSkippedWhole) {
    const std::string filler(300, 'x');
    RecordingPage page;
    // The tail of the long line must not turn into a line of its own.
    read_config_text(page, "von_speed=1" + filler + "\n" + filler + "voff_speed=4\n" +
                               std::string(250, ' ') + "x\nprog_output=2\n");
    EXPECT_EQ(page.choices[kVonSpeed], 0);
    EXPECT_EQ(page.choices[kVoffSpeed], 0);
    EXPECT_EQ(page.choices[kProgOutput], 2);

    const std::string longest = "holdon_time=" + std::string(243 - 1, '0') + "3";
    ASSERT_EQ(longest.size(), kConfigLineMaxChars);
    read_config_text(page, longest + "\r\n");
    EXPECT_EQ(page.choices[kHoldonTime], 3);
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

TEST(CfgFileTest, ADeviceByteNoChoiceShowsIsWrittenAsItIsAndStaysTheReference) {
    RecordingPage page;
    page.reference().choices[kAnalogIgn] = 0xFF;  // an erased block
    page.choices[kAnalogIgn] = -1;                // the box shows nothing
    EXPECT_NE(write_config_text(page).find("analog_ign=255\r\n"), std::string::npos);
    EXPECT_EQ(page.reference().choices[kAnalogIgn], 0xFF) << "a later Save would write -1";
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
