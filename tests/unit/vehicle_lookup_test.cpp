// The lookup's order of preference and its firmware filter, on a small table where every tie is
// placed on purpose, and the edges of the real table the page depends on.
#include <gtest/gtest.h>

#include "config/vehicle_lookup.h"

namespace {

// {model, version, years, level, second level, car number, notes, third text, firmware}
const VehicleRow kFirstMaker[] = {
    {"second-40", "", nullptr, 5, 40, 100, nullptr, nullptr, "100", 16},
    {"level-40", "", nullptr, 40, 0, 101, nullptr, nullptr, "101", 16},
    {"hidden-50", "", nullptr, 50, 0, 102, nullptr, nullptr, "102", 22},
};
const VehicleRow kSecondMaker[] = {
    {"exact-40", "", nullptr, 7, 40, 200, nullptr, nullptr, "200", 16},
    {"level-40-again", "", nullptr, 40, 0, 201, nullptr, nullptr, "201", 16},
    {"second-50", "", nullptr, 9, 50, 202, nullptr, nullptr, "202", 16},
    {"huge-firmware", "", nullptr, 60, 0, 203, nullptr, nullptr, "203", 0x80000000u},
};
const ManufacturerEntry kTable[] = {
    {"First", kFirstMaker, 3},
    {"Second", kSecondMaker, 4},
    {nullptr, nullptr, 0},
};

TEST(VehicleLookupRules, ExactThenLevelThenSecondLevelAmongVisibleRows) {
    struct Case {
        int32_t level;
        int32_t car_number;
        uint32_t firmware;
        const char* expected;
        const char* why;
    };
    const Case cases[] = {
        {40, 200, 16, "exact-40", "exact match beats earlier rows by level"},
        {7, 100, 16, "exact-40", "a car number needs one of the row's levels"},
        {40, 202, 16, "level-40", "car number of a row without this level"},
        {40, 0, 16, "level-40", "first by level beats earlier row by second level"},
        {50, 0, 16, "second-50", "second level serves when the level row is hidden"},
        {50, 0, 22, "hidden-50", "visible with its firmware"},
        {50, 102, 21, "second-50", "hidden rows are not found even by car number"},
        {50, 102, 22, "hidden-50", "and found once visible"},
        {99, 0, 22, "none", "no row carries the level"},
        {40, 200, 15, "none", "nothing below the lowest minimum"},
        {60, 0, 0x7FFFFFFFu, "none", "firmware compares unsigned"},
        {60, 0, 0x80000000u, "huge-firmware", "firmware compares unsigned"},
    };
    for (const Case& c : cases) {
        const VehicleRef ref = find_vehicle_in(kTable, c.level, c.car_number, c.firmware);
        EXPECT_STREQ(ref.found() ? kTable[ref.manufacturer].rows[ref.row].model : "none",
                     c.expected)
            << c.why;
    }
}

TEST(VehicleLookupRules, LevelsOutsideTheRowRangeMatchNothing) {
    // Decoded blocks can give 65536 and typed texts other numbers no row holds; none of them
    // may wrap onto a 16-bit row value.
    EXPECT_FALSE(find_vehicle(65536, 0, 25).found());
    EXPECT_FALSE(find_vehicle(65536 + 3, 43, 25).found());
    EXPECT_FALSE(find_vehicle(-1, 0, 25).found());
    EXPECT_FALSE(find_vehicle(255, 0, 0xFFFFFFFFu).found());
}

TEST(VehicleVisibleRows, FirmwareFilterKeepsTableOrder) {
    const int honda = 16;
    ASSERT_STREQ(VehicleTable[honda].name, "Honda");
    EXPECT_EQ(visible_rows(honda, 22), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(visible_rows(honda, 16), (std::vector<int>{0, 1, 2, 4, 5, 6, 7}));
    EXPECT_TRUE(visible_rows(honda, 15).empty());
    EXPECT_TRUE(visible_rows(-1, 25).empty());
    EXPECT_TRUE(visible_rows(kManufacturerCount, 25).empty());
}

TEST(VehicleLevelText, LeadingDigitsOnlyHeldAtTheLargestInt) {
    const std::pair<const char*, int32_t> cases[] = {{"110", 110},
                                                     {"12a", 12},
                                                     {"", 0},
                                                     {"abc", 0},
                                                     {" 3", 0},
                                                     {"-3", 0},
                                                     {"3 ", 3},
                                                     {"255", 255},
                                                     {"256", 256},
                                                     {"0003", 3},
                                                     {"2147483647", 2147483647},
                                                     {"2147483648", 2147483647},
                                                     {"99999999999999999999", 2147483647}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(leading_level_value(text), value) << text;
    EXPECT_EQ(leading_level_value(nullptr), 0);
}

}  // namespace
