// Model-list labels in each language, from the real table's rows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/language.h"
#include "config/vehicle_lookup.h"

namespace {

const VehicleRow& row_of(const char* manufacturer, int position) {
    for (int m = 0; m < kManufacturerCount; ++m) {
        if (std::strcmp(VehicleTable[m].name, manufacturer) == 0)
            return VehicleTable[m].rows[position];
    }
    ADD_FAILURE() << manufacturer;
    return VehicleTable[0].rows[0];
}

const VehicleRow& golf_v() {
    return row_of("Volkswagen", 19);
}
const VehicleRow& audi_a4() {
    return row_of("Audi", 7);
}
const VehicleRow& analogue() {
    return row_of("Analogue Speed Signal", 0);
}
const VehicleRow& magnum() {
    return row_of("Renault", 19);
}

}  // namespace

TEST(VehicleLabel, English) {
    EXPECT_EQ(vehicle_row_label(golf_v(), kEnglish, "year"), "Golf V 1K year 2003-2009");
    EXPECT_EQ(vehicle_row_label(audi_a4(), kEnglish, "year"),
              "A4 8E year 2004-2008\nAfter facelift. (FL)");
    // No years, no English note: only the space after the empty version remains.
    EXPECT_EQ(vehicle_row_label(analogue(), kEnglish, "year"), "Analogue Speed Signal ");
    EXPECT_EQ(vehicle_row_label(magnum(), kEnglish, "year"),
              "Magnum  year 2001-2007\nfuel level requires J1708 bus (QN830/QN790)");
}

TEST(VehicleLabel, PolishTakesThePolishNoteAsItIs) {
    EXPECT_EQ(vehicle_row_label(audi_a4(), kPolish, "rocznik"),
              "A4 8E rocznik 2004-2008\nWersja po liftingu.");
    // The no-break space of the analogue row and the trailing space of the Keyless note
    // come through untouched.
    EXPECT_EQ(vehicle_row_label(analogue(), kPolish, "rocznik"),
              "Analogue Speed Signal \nanalogowy sygna\xC5\x82\xC2\xA0pr\xC4\x99"
              "dko\xC5\x9B"
              "ci");
    EXPECT_EQ(vehicle_row_label(row_of("Audi", 15), kPolish, "rocznik"),
              "A6 4G rocznik 2011-2018\nOtwarcie baga\xC5\xBCnika z Keyless otwiera drzwi ");
    // A row without a Polish note shows none, even when it has an English one.
    EXPECT_EQ(vehicle_row_label(golf_v(), kPolish, "rocznik"), "Golf V 1K rocznik 2003-2009");
}

TEST(VehicleLabel, CzechUsesTheEnglishNote) {
    EXPECT_EQ(vehicle_row_label(audi_a4(), kCzech, "rok"),
              "A4 8E rok 2004-2008\nAfter facelift. (FL)");
}

TEST(VehicleLabel, SlovakEndsEveryEntryWithTheCarNumber) {
    EXPECT_EQ(vehicle_row_label(golf_v(), kSlovak, "year"), "Golf V 1K year 2003-2009\n43");
    EXPECT_EQ(vehicle_row_label(audi_a4(), kSlovak, "year"),
              "A4 8E year 2004-2008\n\xD0\x9F\xD0\xBE\xD1\x81\xD0\xBB\xD0\xB5 "
              "\xD1\x84\xD0\xB5\xD0\xB9\xD1\x81\xD0\xBB\xD0\xB8\xD1\x84\xD1\x82\xD0\xB0\n73");
    EXPECT_EQ(vehicle_row_label(analogue(), kSlovak, "year"), "Analogue Speed Signal \n65534");
    for (int m = 0; m < kManufacturerCount; ++m) {
        for (int i = 0; i < VehicleTable[m].row_count; ++i) {
            const VehicleRow& row = VehicleTable[m].rows[i];
            const std::string label = vehicle_row_label(row, kSlovak, "year");
            const std::string tail = "\n" + std::to_string(row.car_number);
            ASSERT_GE(label.size(), tail.size());
            EXPECT_EQ(label.substr(label.size() - tail.size()), tail) << label;
        }
    }
}
