// The lookup's order of preference and its firmware filter, on a small table where every tie is
// placed on purpose, and the parts of the real table the page depends on.
#include <gtest/gtest.h>

#include <cstring>

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

const char* found_model(VehicleRef ref) {
    if (!ref.found())
        return "none";
    return kTable[ref.manufacturer].rows[ref.row].model;
}

int manufacturer_index(const char* name) {
    for (int m = 0; m < kManufacturerCount; ++m) {
        if (std::strcmp(VehicleTable[m].name, name) == 0)
            return m;
    }
    return -1;
}

}  // namespace

TEST(VehicleLookupRules, ExactMatchBeatsEarlierRowsByLevel) {
    // Car number 200 matches through its second level, in a later manufacturer than two rows
    // that carry the level.
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 40, 200, 16)), "exact-40");
    // A car number needs one of the row's levels to count.
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 7, 100, 16)), "exact-40");
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 40, 202, 16)), "level-40");
}

TEST(VehicleLookupRules, FirstRowByLevelBeatsEarlierRowBySecondLevel) {
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 40, 0, 16)), "level-40");
}

TEST(VehicleLookupRules, SecondLevelServesWhenNoRowCarriesTheLevel) {
    // With firmware 16 the only row with level 50 is hidden.
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 50, 0, 16)), "second-50");
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 50, 0, 22)), "hidden-50");
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 99, 0, 22)), "none");
}

TEST(VehicleLookupRules, HiddenRowsAreNotFoundEvenByTheirCarNumber) {
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 50, 102, 21)), "second-50");
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 50, 102, 22)), "hidden-50");
    // Nothing at all below the lowest minimum.
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 40, 200, 15)), "none");
}

TEST(VehicleLookupRules, FirmwareComparesUnsigned) {
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 60, 0, 16)), "none");
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 60, 0, 0x7FFFFFFFu)), "none");
    EXPECT_STREQ(found_model(find_vehicle_in(kTable, 60, 0, 0x80000000u)), "huge-firmware");
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
    const int honda = manufacturer_index("Honda");
    ASSERT_GE(honda, 0);
    EXPECT_EQ(visible_rows(honda, 22), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(visible_rows(honda, 16), (std::vector<int>{0, 1, 2, 4, 5, 6, 7}));
    // Below every row's minimum the list is empty, but the manufacturer still exists.
    EXPECT_TRUE(visible_rows(honda, 15).empty());
    EXPECT_EQ(visible_rows(manufacturer_index("Analogue Speed Signal"), 1), (std::vector<int>{0}));
    // Tesla's only row needs firmware 25.
    const int tesla = manufacturer_index("Tesla");
    EXPECT_TRUE(visible_rows(tesla, 22).empty());
    EXPECT_EQ(visible_rows(tesla, 25).size(), 1u);
    EXPECT_TRUE(visible_rows(-1, 25).empty());
    EXPECT_TRUE(visible_rows(kManufacturerCount, 25).empty());
}

TEST(VehicleLevelText, LeadingDigitsOnly) {
    EXPECT_EQ(leading_level_value("110"), 110);
    EXPECT_EQ(leading_level_value("12a"), 12);
    EXPECT_EQ(leading_level_value(""), 0);
    EXPECT_EQ(leading_level_value("abc"), 0);
    EXPECT_EQ(leading_level_value(" 3"), 0);
    EXPECT_EQ(leading_level_value("-3"), 0);
    EXPECT_EQ(leading_level_value("0003"), 3);
    EXPECT_EQ(leading_level_value("2147483647"), 2147483647);
    EXPECT_EQ(leading_level_value("2147483648"), 2147483647);
    EXPECT_EQ(leading_level_value("99999999999999999999"), 2147483647);
    EXPECT_EQ(leading_level_value(nullptr), 0);
}
