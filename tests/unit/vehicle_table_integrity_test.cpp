// The compiled vehicle table against everything the program and the device rely on: its shape,
// the rows that other code names, the value ranges, and the lookups those rows must win.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/language.h"
#include "config/vehicle_lookup.h"
#include "config/vehicle_table.h"

namespace {

struct RowAt {
    int manufacturer;
    int row;
    const VehicleRow* data;
};

std::vector<RowAt> all_rows() {
    std::vector<RowAt> rows;
    for (int m = 0; m < kManufacturerCount; ++m) {
        for (int i = 0; i < VehicleTable[m].row_count; ++i)
            rows.push_back({m, i, &VehicleTable[m].rows[i]});
    }
    return rows;
}

int manufacturer_index(const char* name) {
    for (int m = 0; m < kManufacturerCount; ++m) {
        if (std::strcmp(VehicleTable[m].name, name) == 0)
            return m;
    }
    return -1;
}

const VehicleRow& row_of(const char* manufacturer, int position) {
    const int m = manufacturer_index(manufacturer);
    EXPECT_GE(m, 0) << manufacturer;
    EXPECT_LT(position, VehicleTable[m].row_count) << manufacturer;
    return VehicleTable[m].rows[position];
}

// Null-safe comparison: absent and empty are different things in this table.
::testing::AssertionResult same_text(const char* actual, const char* expected) {
    if (!actual && !expected)
        return ::testing::AssertionSuccess();
    if (!actual)
        return ::testing::AssertionFailure() << "absent, expected \"" << expected << "\"";
    if (!expected)
        return ::testing::AssertionFailure() << "\"" << actual << "\", expected absent";
    if (std::strcmp(actual, expected) != 0) {
        return ::testing::AssertionFailure()
               << "\"" << actual << "\", expected \"" << expected << "\"";
    }
    return ::testing::AssertionSuccess();
}

struct Expected {
    const char* model;
    const char* version;
    const char* years;
    uint16_t level;
    uint16_t second_level;
    uint16_t car_number;
    const char* polish_note;
    const char* english_note;
    const char* third_text;
    uint32_t min_firmware;
};

void expect_row(const char* manufacturer, int position, const Expected& e) {
    SCOPED_TRACE(std::string(manufacturer) + " row " + std::to_string(position));
    const VehicleRow& r = row_of(manufacturer, position);
    EXPECT_TRUE(same_text(r.model, e.model));
    EXPECT_TRUE(same_text(r.version, e.version));
    EXPECT_TRUE(same_text(r.years, e.years));
    EXPECT_EQ(r.level, e.level);
    EXPECT_EQ(r.second_level, e.second_level);
    EXPECT_EQ(r.car_number, e.car_number);
    EXPECT_TRUE(same_text(r.polish_note, e.polish_note));
    EXPECT_TRUE(same_text(r.english_note, e.english_note));
    EXPECT_TRUE(same_text(r.third_text, e.third_text));
    EXPECT_EQ(r.min_firmware, e.min_firmware);
}

bool is_valid_utf8(const char* text) {
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    while (*s) {
        int follow = 0;
        if (*s < 0x80) {
            follow = 0;
        } else if ((*s & 0xE0) == 0xC0 && *s >= 0xC2) {
            follow = 1;
        } else if ((*s & 0xF0) == 0xE0) {
            follow = 2;
        } else if ((*s & 0xF8) == 0xF0 && *s <= 0xF4) {
            follow = 3;
        } else {
            return false;
        }
        ++s;
        for (int i = 0; i < follow; ++i, ++s) {
            if ((*s & 0xC0) != 0x80)
                return false;
        }
    }
    return true;
}

std::string describe(VehicleRef ref) {
    if (!ref.found())
        return "no row";
    const VehicleRow& r = vehicle_row(ref);
    return std::string(VehicleTable[ref.manufacturer].name) + " " + r.model + " " + r.version +
           " " + (r.years ? r.years : "-");
}

std::string describe(const char* manufacturer, const char* model, const char* version,
                     const char* years) {
    return std::string(manufacturer) + " " + model + " " + version + " " + (years ? years : "-");
}

}  // namespace

TEST(VehicleTableIntegrity, ManufacturersInListOrderWithTheirRowCounts) {
    const std::vector<std::pair<const char*, int>> expected = {
        {"Alfa Romeo", 4},  {"Analogue Speed Signal", 1},
        {"Audi", 35},       {"Bentley", 1},
        {"BMW", 66},        {"Chevrolet", 9},
        {"Chrysler", 6},    {"Citroen", 43},
        {"Dacia", 7},       {"DAF", 6},
        {"Dodge", 9},       {"DS Automobiles", 5},
        {"EOBD", 1},        {"Fiat", 36},
        {"FMS", 4},         {"Ford", 51},
        {"Honda", 8},       {"Hyundai", 18},
        {"Infiniti", 3},    {"Isuzu", 2},
        {"Iveco", 7},       {"Jaguar", 1},
        {"Jeep", 8},        {"Kia", 24},
        {"Lada", 3},        {"Lamborghini", 1},
        {"Land Rover", 3},  {"Lexus", 6},
        {"Liebherr", 1},    {"MAN", 9},
        {"Maserati", 1},    {"Mazda", 10},
        {"Melex", 1},       {"Mercedes", 67},
        {"MG", 1},          {"Mini", 11},
        {"Mitsubishi", 16}, {"Nissan", 52},
        {"OBD-II", 1},      {"Opel", 58},
        {"Peugeot", 45},    {"Porsche", 9},
        {"Renault", 48},    {"Saab", 2},
        {"Scania", 6},      {"Seat", 24},
        {"Skoda", 25},      {"Smart", 1},
        {"Subaru", 8},      {"Suzuki", 16},
        {"Tesla", 1},       {"Toyota", 65},
        {"Volkswagen", 75}, {"Volvo", 46},
    };
    ASSERT_EQ(static_cast<int>(expected.size()), kManufacturerCount);
    int total = 0;
    for (int m = 0; m < kManufacturerCount; ++m) {
        ASSERT_NE(VehicleTable[m].name, nullptr) << m;
        EXPECT_STREQ(VehicleTable[m].name, expected[m].first) << m;
        EXPECT_EQ(VehicleTable[m].row_count, expected[m].second) << expected[m].first;
        EXPECT_NE(VehicleTable[m].rows, nullptr) << expected[m].first;
        total += VehicleTable[m].row_count;
    }
    EXPECT_EQ(total, 967);
    EXPECT_EQ(total, kVehicleRowCount);

    const ManufacturerEntry& end = VehicleTable[kManufacturerCount];
    EXPECT_EQ(end.name, nullptr);
    EXPECT_EQ(end.rows, nullptr);
    EXPECT_EQ(end.row_count, 0);

    // The model list maps at most 512 positions; Volkswagen is the largest manufacturer.
    const auto largest =
        std::max_element(VehicleTable, VehicleTable + kManufacturerCount,
                         [](const ManufacturerEntry& a, const ManufacturerEntry& b) {
                             return a.row_count < b.row_count;
                         });
    EXPECT_STREQ(largest->name, "Volkswagen");
    EXPECT_LE(largest->row_count, 512);
}

TEST(VehicleTableIntegrity, TellingRowsStandExactlyAtTheirPositions) {
    expect_row("Analogue Speed Signal", 0,
               {"Analogue Speed Signal", "", nullptr, 0, 0, 65534,
                "analogowy sygna\xC5\x82\xC2\xA0pr\xC4\x99"
                "dko\xC5\x9B"
                "ci",
                nullptr, "65534", 1});
    expect_row("Audi", 7,
               {"A4", "8E", "2004-2008", 6, 110, 73, "Wersja po liftingu.", "After facelift. (FL)",
                "\xD0\x9F\xD0\xBE\xD1\x81\xD0\xBB\xD0\xB5 "
                "\xD1\x84\xD0\xB5\xD0\xB9\xD1\x81\xD0\xBB\xD0\xB8\xD1\x84\xD1\x82\xD0\xB0\n73",
                16});
    expect_row("Audi", 14,
               {"A6", "4G", "2011->", 104, 0, 544,
                "Otwarcie baga\xC5\xBCnika z Keyless NIE otwiera drzwi ",
                "Keyless trunk DO NOT unlock all doors", "544", 16});
    expect_row(
        "Audi", 15,
        {"A6", "4G", "2011-2018", 106, 0, 552, "Otwarcie baga\xC5\xBCnika z Keyless otwiera drzwi ",
         "Keyless trunk unlocks all doors", "552", 16});
    expect_row("Volkswagen", 19,
               {"Golf V", "1K", "2003-2009", 3, 110, 43, nullptr, nullptr, "43", 16});
    expect_row("Renault", 19,
               {"Magnum", "", "2001-2007", 88, 0, 444, "poziom paliwa wymaga J1708 (QN830/QN790)",
                "fuel level requires J1708 bus (QN830/QN790)", "444", 16});
    expect_row("Honda", 3,
               {"Civic", "11 gen.", "2017->", 260, 0, 1350, nullptr, nullptr, "1350", 22});
}

TEST(VehicleTableIntegrity, LevelsSpanZeroTo273With185DistinctValues) {
    std::set<int> levels;
    for (const RowAt& r : all_rows())
        levels.insert(r.data->level);
    EXPECT_EQ(*levels.begin(), 0);
    EXPECT_EQ(*levels.rbegin(), 273);
    EXPECT_EQ(levels.size(), 185u);
    // The page refuses to save 255 and 256, so no vehicle may need them.
    EXPECT_EQ(levels.count(255), 0u);
    EXPECT_EQ(levels.count(256), 0u);
    // Level 0 means the analogue speed input; no CAN vehicle may claim it.
    for (const RowAt& r : all_rows()) {
        if (r.data->level == 0) {
            EXPECT_STREQ(VehicleTable[r.manufacturer].name, "Analogue Speed Signal");
        }
    }
}

TEST(VehicleTableIntegrity, SecondLevelsComeFromTheFixedSet) {
    std::map<int, int> count;
    int level_equals_second = 0;
    for (const RowAt& r : all_rows()) {
        ++count[r.data->second_level];
        if (r.data->second_level != 0 && r.data->level == r.data->second_level)
            ++level_equals_second;
    }
    std::set<int> values;
    for (const auto& [value, n] : count)
        values.insert(value);
    EXPECT_EQ(values, (std::set<int>{0, 88, 104, 106, 110, 112, 113, 117, 246, 251}));
    EXPECT_EQ(count[0], 739);
    // A few rows carry their own level again as second level.
    EXPECT_GE(level_equals_second, 2);
    EXPECT_LE(level_equals_second, 10);
}

TEST(VehicleTableIntegrity, CarNumbersAreUniqueAndInRange) {
    std::set<int> numbers;
    int low = 65535;
    int high = 0;
    for (const RowAt& r : all_rows()) {
        const int number = r.data->car_number;
        EXPECT_TRUE(numbers.insert(number).second) << "car number " << number << " twice";
        if (number == 65534) {
            EXPECT_STREQ(r.data->model, "Analogue Speed Signal");
            continue;
        }
        low = std::min(low, number);
        high = std::max(high, number);
    }
    EXPECT_EQ(low, 1);
    EXPECT_EQ(high, 1414);
    EXPECT_EQ(numbers.count(65534), 1u);
}

TEST(VehicleTableIntegrity, MinimumFirmwareDistribution) {
    std::map<uint32_t, int> count;
    for (const RowAt& r : all_rows())
        ++count[r.data->min_firmware];
    EXPECT_EQ(count,
              (std::map<uint32_t, int>{{1, 1}, {16, 905}, {19, 33}, {22, 5}, {23, 1}, {25, 22}}));
    EXPECT_EQ(row_of("Analogue Speed Signal", 0).min_firmware, 1u);
}

TEST(VehicleTableIntegrity, TextsAreWellFormed) {
    int years_absent = 0;
    int polish = 0;
    int english = 0;
    int russian = 0;
    for (const RowAt& r : all_rows()) {
        const VehicleRow& v = *r.data;
        SCOPED_TRACE(describe(VehicleTable[r.manufacturer].name, v.model, v.version, v.years));
        ASSERT_NE(v.model, nullptr);
        ASSERT_NE(v.version, nullptr);
        ASSERT_NE(v.third_text, nullptr);
        if (!v.years)
            ++years_absent;
        if (v.polish_note)
            ++polish;
        if (v.english_note)
            ++english;
        for (const char* text :
             {v.model, v.version, v.years, v.polish_note, v.english_note, v.third_text}) {
            if (text) {
                EXPECT_TRUE(is_valid_utf8(text)) << text;
            }
        }

        // The third text ends with the car number; a Russian note and a line break may lead.
        const std::string third = v.third_text;
        const std::string number = std::to_string(v.car_number);
        if (third != number) {
            ++russian;
            ASSERT_GT(third.size(), number.size() + 1) << third;
            EXPECT_EQ(third.substr(third.size() - number.size() - 1), "\n" + number) << third;
            EXPECT_EQ(third.find('\n'), third.size() - number.size() - 1) << third;
        }
    }
    EXPECT_EQ(years_absent, 8);
    // Notes belong to a minority of rows.
    EXPECT_GT(polish, 0);
    EXPECT_LT(polish, kVehicleRowCount / 2);
    EXPECT_GT(english, 0);
    EXPECT_LT(english, kVehicleRowCount / 2);
    EXPECT_GT(russian, 0);
    EXPECT_LT(russian, kVehicleRowCount / 2);
}

TEST(VehicleTableIntegrity, LongestEnglishLabelIs119Bytes) {
    std::size_t longest = 0;
    for (const RowAt& r : all_rows()) {
        longest = std::max(longest, vehicle_row_label(*r.data, kEnglish, "year").size());
    }
    EXPECT_EQ(longest, 119u);
}

TEST(VehicleTableIntegrity, LookupExamplesHold) {
    // The first row with level 3 is the Audi A1, before the default block's Golf V.
    EXPECT_EQ(describe(find_vehicle(3, 0, 22)), "Audi A1 8X 2010-2018");
    // Level 110 goes to the first row with that level, although the A1 (row 0) is found earlier
    // by its second level.
    EXPECT_EQ(row_of("Audi", 0).second_level, 110);
    EXPECT_EQ(describe(find_vehicle(110, 0, 22)), "Audi A6 4B 1997-2004");
    // Car number 73 with the A4's second level.
    EXPECT_EQ(describe(find_vehicle(110, 73, 22)), "Audi A4 8E 2004-2008");
    // The default block: level 3, car number 43.
    EXPECT_EQ(describe(find_vehicle(3, 43, 22)), "Volkswagen Golf V 1K 2003-2009");
    EXPECT_EQ(describe(find_vehicle(0, 0, 22)), "Analogue Speed Signal Analogue Speed Signal  -");

    // With firmware 16 the Civic 11 gen. is neither listed nor found.
    const int honda = manufacturer_index("Honda");
    const std::vector<int> listed = visible_rows(honda, 16);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), 3), 0);
    EXPECT_EQ(describe(find_vehicle(260, 1350, 22)), "Honda Civic 11 gen. 2017->");
    const VehicleRef fallback = find_vehicle(260, 1350, 16);
    ASSERT_TRUE(fallback.found());
    EXPECT_NE(vehicle_row(fallback).car_number, 1350);
    EXPECT_EQ(vehicle_row(fallback).level, 260);
}
