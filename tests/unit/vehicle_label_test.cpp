// Model-list labels in each language, from the real table's rows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/language.h"
#include "config/vehicle_lookup.h"

namespace {

const VehicleRow& row_of(const char* manufacturer, int position) {
    int m = 0;
    while (std::strcmp(VehicleTable[m].name, manufacturer) != 0)
        ++m;
    return VehicleTable[m].rows[position];
}

TEST(VehicleLabel, EachLanguageTakesItsNote) {
    const VehicleRow& golf_v = row_of("Volkswagen", 19);
    const VehicleRow& audi_a4 = row_of("Audi", 7);
    const VehicleRow& analogue = row_of("Analogue Speed Signal", 0);
    struct Case {
        const VehicleRow& row;
        int language;
        const char* year_word;
        const char* expected;
    };
    const Case cases[] = {
        {golf_v, kEnglish, "year", "Golf V 1K year 2003-2009"},
        {audi_a4, kEnglish, "year", "A4 8E year 2004-2008\nAfter facelift. (FL)"},
        // No years, no English note: only the space after the empty version remains.
        {analogue, kEnglish, "year", "Analogue Speed Signal "},
        {row_of("Renault", 19), kEnglish, "year",
         "Magnum  year 2001-2007\nfuel level requires J1708 bus (QN830/QN790)"},
        {audi_a4, kPolish, "rocznik", "A4 8E rocznik 2004-2008\nWersja po liftingu."},
        // The no-break space comes through untouched.
        {analogue, kPolish, "rocznik",
         "Analogue Speed Signal \nanalogowy sygna\xC5\x82\xC2\xA0pr\xC4\x99"
         "dko\xC5\x9B"
         "ci"},
        // A row without a Polish note shows none.
        {golf_v, kPolish, "rocznik", "Golf V 1K rocznik 2003-2009"},
        {audi_a4, kCzech, "rok", "A4 8E rok 2004-2008\nAfter facelift. (FL)"},
        // Slovak shows the third text: the car number, after a Russian note in some rows.
        {golf_v, kSlovak, "year", "Golf V 1K year 2003-2009\n43"},
        {audi_a4, kSlovak, "year",
         "A4 8E year 2004-2008\n\xD0\x9F\xD0\xBE\xD1\x81\xD0\xBB\xD0\xB5 "
         "\xD1\x84\xD0\xB5\xD0\xB9\xD1\x81\xD0\xBB\xD0\xB8\xD1\x84\xD1\x82\xD0\xB0\n73"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vehicle_row_label(c.row, c.language, c.year_word), c.expected)
            << c.row.model << " in language " << c.language;
    }
}

}  // namespace
