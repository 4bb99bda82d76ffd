// The compiled vehicle table against what the program and the device rely on. Its counts are
// checked by the generated code itself; here are the rules no compiler sees.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "config/config_record.h"
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

// Every field of a row, "|" between them; absent texts read "(none)", unlike empty ones.
std::string row_text(const VehicleRow& r) {
    std::string text;
    for (const char* field : {r.model, r.version, r.years})
        text += std::string(field ? field : "(none)") + "|";
    for (int number : {r.level, r.second_level, r.car_number})
        text += std::to_string(number) + "|";
    return text + std::to_string(r.min_firmware);
}

}  // namespace

TEST(VehicleTableIntegrity, EveryManufacturerFitsTheModelListAndTheEndEntryIsEmpty) {
    for (int m = 0; m < kManufacturerCount; ++m) {
        ASSERT_NE(VehicleTable[m].name, nullptr) << m;
        EXPECT_NE(VehicleTable[m].rows, nullptr) << m;
        // The model list maps at most 512 positions.
        EXPECT_GT(VehicleTable[m].row_count, 0) << VehicleTable[m].name;
        EXPECT_LE(VehicleTable[m].row_count, 512) << VehicleTable[m].name;
    }
    const ManufacturerEntry& end = VehicleTable[kManufacturerCount];
    EXPECT_TRUE(end.name == nullptr && end.rows == nullptr && end.row_count == 0);
}

TEST(VehicleTableIntegrity, CarNumbersAreUniqueAndLevelsSavable) {
    std::set<int> car_numbers;
    for (const VehicleRow* r : all_rows()) {
        EXPECT_TRUE(car_numbers.insert(r->car_number).second)
            << "car number twice: " << row_text(*r);
        // Level 0 means the analogue speed input, 65534 is its car number: no CAN vehicle's.
        EXPECT_EQ(r->level == 0 || r->car_number == 65534,
                  std::strcmp(r->model, "Analogue Speed Signal") == 0)
            << row_text(*r);
        // The page refuses to save 255 and 256, so no vehicle may need them.
        EXPECT_TRUE(r->level != 255 && r->level != 256) << row_text(*r);
        // A .cfg car number beyond either end is read as 0 or 65535: it must name no vehicle.
        EXPECT_TRUE(r->car_number != 0 && r->car_number != 65535) << row_text(*r);
    }
    // The default settings name a vehicle that the oldest firmware (16) lists.
    const ConfigRecord defaults = decode_config_record(kDefaultConfigBlock.data());
    const VehicleRef found = find_vehicle(defaults.can_level, defaults.car_number, 16);
    ASSERT_TRUE(found.found());
    EXPECT_EQ(vehicle_row(found).car_number, defaults.car_number);
}

TEST(VehicleTableIntegrity, TextsAreWellFormed) {
    int polish = 0, english = 0, russian = 0;
    for (const VehicleRow* r : all_rows()) {
        ASSERT_TRUE(r->model && r->version && r->third_text) << row_text(*r);
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
    }
    // A column the generator lost or shifted would leave a language without notes.
    for (int notes : {polish, english, russian}) {
        EXPECT_GT(notes, 0);
        EXPECT_LT(notes, kVehicleRowCount / 2) << "notes belong to a minority of rows";
    }
}
