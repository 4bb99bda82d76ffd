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
#include "support/test_system.h"

namespace {

std::vector<const VehicleRow*> all_rows() {
    std::vector<const VehicleRow*> rows;
    for (int m = 0; m < kManufacturerCount; ++m) {
        for (int i = 0; i < VehicleTable[m].row_count; ++i)
            rows.push_back(&VehicleTable[m].rows[i]);
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

// Every field of a row, "|" between them; absent texts read "(none)", unlike empty ones.
std::string row_text(const VehicleRow& r) {
    std::string text;
    for (const char* field : {r.model, r.version, r.years})
        text += std::string(field ? field : "(none)") + "|";
    for (int number : {r.level, r.second_level, r.car_number})
        text += std::to_string(number) + "|";
    for (const char* field : {r.polish_note, r.english_note, r.third_text})
        text += std::string(field ? field : "(none)") + "|";
    return text + std::to_string(r.min_firmware);
}

void expect_row(const char* manufacturer, int position, const std::string& expected) {
    const int m = manufacturer_index(manufacturer);
    ASSERT_GE(m, 0) << manufacturer;
    ASSERT_LT(position, VehicleTable[m].row_count) << manufacturer;
    EXPECT_EQ(row_text(VehicleTable[m].rows[position]), expected)
        << manufacturer << " row " << position;
}

std::string describe(VehicleRef ref) {
    if (!ref.found())
        return "no row";
    const VehicleRow& r = vehicle_row(ref);
    return std::string(VehicleTable[ref.manufacturer].name) + " " + r.model + " " + r.version +
           " " + (r.years ? r.years : "-");
}

}  // namespace

TEST(VehicleTableIntegrity, ManufacturersInListOrderWithTheirRowCounts) {
    std::string listed;
    int total = 0;
    for (int m = 0; m < kManufacturerCount; ++m) {
        ASSERT_NE(VehicleTable[m].name, nullptr) << m;
        EXPECT_NE(VehicleTable[m].rows, nullptr) << m;
        listed += std::string(VehicleTable[m].name) + " " +
                  std::to_string(VehicleTable[m].row_count) + ", ";
        total += VehicleTable[m].row_count;
    }
    EXPECT_EQ(
        listed,
        "Alfa Romeo 4, Analogue Speed Signal 1, Audi 35, Bentley 1, BMW 66, Chevrolet 9, "
        "Chrysler 6, Citroen 43, Dacia 7, DAF 6, Dodge 9, DS Automobiles 5, EOBD 1, Fiat 36, "
        "FMS 4, Ford 51, Honda 8, Hyundai 18, Infiniti 3, Isuzu 2, Iveco 7, Jaguar 1, Jeep 8, "
        "Kia 24, Lada 3, Lamborghini 1, Land Rover 3, Lexus 6, Liebherr 1, MAN 9, "
        "Maserati 1, Mazda 10, Melex 1, Mercedes 67, MG 1, Mini 11, Mitsubishi 16, "
        "Nissan 52, OBD-II 1, Opel 58, Peugeot 45, Porsche 9, Renault 48, Saab 2, Scania 6, "
        "Seat 24, Skoda 25, Smart 1, Subaru 8, Suzuki 16, Tesla 1, Toyota 65, "
        "Volkswagen 75, Volvo 46, ");
    // The model list maps at most 512 positions; Volkswagen, the largest, has 75.
    EXPECT_EQ(total, 967);
    EXPECT_EQ(total, kVehicleRowCount);
    const ManufacturerEntry& end = VehicleTable[kManufacturerCount];
    EXPECT_TRUE(end.name == nullptr && end.rows == nullptr && end.row_count == 0);
}

// The analogue row and Audi 7: texts in vehicle_label_test, numbers in the lookup examples below.
TEST(VehicleTableIntegrity, TellingRowsStandExactlyAtTheirPositions) {
    expect_row("Audi", 14,
               "A6|4G|2011->|104|0|544|Otwarcie baga\xC5\xBCnika z Keyless NIE otwiera drzwi |"
               "Keyless trunk DO NOT unlock all doors|544|16");
    expect_row("Audi", 15,
               "A6|4G|2011-2018|106|0|552|Otwarcie baga\xC5\xBCnika z Keyless otwiera drzwi |"
               "Keyless trunk unlocks all doors|552|16");
    expect_row("Volkswagen", 19, "Golf V|1K|2003-2009|3|110|43|(none)|(none)|43|16");
    expect_row("Renault", 19,
               "Magnum||2001-2007|88|0|444|poziom paliwa wymaga J1708 (QN830/QN790)|"
               "fuel level requires J1708 bus (QN830/QN790)|444|16");
    expect_row("Honda", 3, "Civic|11 gen.|2017->|260|0|1350|(none)|(none)|1350|22");
}

TEST(VehicleTableIntegrity, ColumnsHaveTheirRangesAndCounts) {
    std::set<int> levels;
    std::map<int, int> second_levels;
    std::map<uint32_t, int> firmware;
    std::set<int> car_numbers;
    int level_equals_second = 0;
    for (const VehicleRow* r : all_rows()) {
        levels.insert(r->level);
        ++second_levels[r->second_level];
        ++firmware[r->min_firmware];
        EXPECT_TRUE(car_numbers.insert(r->car_number).second)
            << "car number twice: " << row_text(*r);
        if (r->second_level != 0 && r->level == r->second_level)
            ++level_equals_second;
        // Level 0 means the analogue speed input, 65534 is its car number: no CAN vehicle's.
        EXPECT_EQ(r->level == 0 || r->car_number == 65534,
                  std::strcmp(r->model, "Analogue Speed Signal") == 0)
            << row_text(*r);
    }
    EXPECT_EQ(*levels.begin(), 0);
    EXPECT_EQ(*levels.rbegin(), 273);
    EXPECT_EQ(levels.size(), 185u);
    // The page refuses to save 255 and 256, so no vehicle may need them.
    EXPECT_EQ(levels.count(255) + levels.count(256), 0u);

    std::set<int> second_values;
    for (const auto& [value, count] : second_levels)
        second_values.insert(value);
    EXPECT_EQ(second_values, (std::set<int>{0, 88, 104, 106, 110, 112, 113, 117, 246, 251}));
    EXPECT_EQ(second_levels[0], 739);
    EXPECT_GE(level_equals_second, 2) << "a few rows carry their own level as second level";
    EXPECT_LE(level_equals_second, 10);

    EXPECT_EQ(*car_numbers.begin(), 1);
    EXPECT_EQ(*std::next(car_numbers.rbegin()), 1414);
    EXPECT_EQ(*car_numbers.rbegin(), 65534);
    EXPECT_EQ(firmware,
              (std::map<uint32_t, int>{{1, 1}, {16, 905}, {19, 33}, {22, 5}, {23, 1}, {25, 22}}));
}

TEST(VehicleTableIntegrity, TextsAreWellFormedAndLabelsFit) {
    int years_absent = 0, polish = 0, english = 0, russian = 0;
    size_t longest_label = 0;
    for (const VehicleRow* r : all_rows()) {
        ASSERT_TRUE(r->model && r->version && r->third_text) << row_text(*r);
        years_absent += r->years ? 0 : 1;
        polish += r->polish_note ? 1 : 0;
        english += r->english_note ? 1 : 0;
        for (const char* text :
             {r->model, r->version, r->years, r->polish_note, r->english_note, r->third_text}) {
            EXPECT_TRUE(!text || valid_utf8(text)) << row_text(*r);
        }
        // The third text is the car number, or a Russian note, one line break and the number.
        const std::string third = r->third_text;
        const std::string number = std::to_string(r->car_number);
        if (third != number) {
            ++russian;
            EXPECT_GT(third.size(), number.size() + 1) << row_text(*r);
            EXPECT_EQ(third.find('\n'), third.size() - number.size() - 1) << row_text(*r);
            EXPECT_EQ(third.substr(third.size() - number.size()), number) << row_text(*r);
        }
        longest_label = std::max(longest_label, vehicle_row_label(*r, kEnglish, "year").size());
    }
    EXPECT_EQ(years_absent, 8);
    for (int notes : {polish, english, russian}) {
        EXPECT_GT(notes, 0);
        EXPECT_LT(notes, kVehicleRowCount / 2) << "notes belong to a minority of rows";
    }
    EXPECT_EQ(longest_label, 119u);
}

TEST(VehicleTableIntegrity, LookupExamplesHold) {
    // The first row with level 3 is the Audi A1, before the default block's Golf V.
    EXPECT_EQ(describe(find_vehicle(3, 0, 22)), "Audi A1 8X 2010-2018");
    // Level 110 goes to the first row with that level, although the A1 (row 0) is found earlier
    // by its second level.
    EXPECT_EQ(VehicleTable[manufacturer_index("Audi")].rows[0].second_level, 110);
    EXPECT_EQ(describe(find_vehicle(110, 0, 22)), "Audi A6 4B 1997-2004");
    EXPECT_EQ(describe(find_vehicle(110, 73, 22)), "Audi A4 8E 2004-2008");
    EXPECT_EQ(describe(find_vehicle(3, 43, 22)), "Volkswagen Golf V 1K 2003-2009");
    EXPECT_EQ(describe(find_vehicle(0, 0, 22)), "Analogue Speed Signal Analogue Speed Signal  -");

    // With firmware 16 the Civic 11 gen. is not found (nor listed: vehicle_lookup_test).
    EXPECT_EQ(describe(find_vehicle(260, 1350, 22)), "Honda Civic 11 gen. 2017->");
    const VehicleRef fallback = find_vehicle(260, 1350, 16);
    ASSERT_TRUE(fallback.found());
    EXPECT_NE(vehicle_row(fallback).car_number, 1350);
}
