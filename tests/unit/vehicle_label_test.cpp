// Model-list labels in each language.
#include <gtest/gtest.h>

#include <string>

#include "app/language.h"
#include "config/vehicle_lookup.h"

namespace {

// {model, version, years, level, second level, car number, notes, third text, firmware}
const VehicleRow kPlain = {"Golf", "1K", "2003-2009", 3, 0, 43, nullptr, nullptr, "43", 16};
const VehicleRow kNoted = {"A4",          "8E",         "2004-2008",    6, 0, 73,
                           "po liftingu", "facelifted", "\xD0\x9F\n73", 16};
// No version, no years, a Polish note only (with a no-break space).
const VehicleRow kBare = {"Analogue", "",      nullptr, 0, 0, 65534, "sygna\xC5\x82\xC2\xA0pr",
                          nullptr,    "65534", 1};
const VehicleRow kNoVersion = {"Magnum", "", "2001-2007", 88, 0, 444, nullptr, "J1708", "444", 16};

TEST(VehicleLabel, EachLanguageTakesItsNote) {
    struct Case {
        const VehicleRow& row;
        int language;
        const char* year_word;
        const char* expected;
    };
    const Case cases[] = {
        {kPlain, kEnglish, "year", "Golf 1K year 2003-2009"},
        {kNoted, kEnglish, "year", "A4 8E year 2004-2008\nfacelifted"},
        // Only the space after the empty version remains.
        {kBare, kEnglish, "year", "Analogue "},
        {kNoVersion, kEnglish, "year", "Magnum  year 2001-2007\nJ1708"},
        {kNoted, kPolish, "rocznik", "A4 8E rocznik 2004-2008\npo liftingu"},
        {kBare, kPolish, "rocznik", "Analogue \nsygna\xC5\x82\xC2\xA0pr"},
        {kPlain, kPolish, "rocznik", "Golf 1K rocznik 2003-2009"},
        {kNoted, kCzech, "rok", "A4 8E rok 2004-2008\nfacelifted"},
        // Slovak shows the third text: the car number, after a Russian note in some rows.
        {kPlain, kSlovak, "year", "Golf 1K year 2003-2009\n43"},
        {kNoted, kSlovak, "year", "A4 8E year 2004-2008\n\xD0\x9F\n73"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vehicle_row_label(c.row, c.language, c.year_word), c.expected)
            << c.row.model << " in language " << c.language;
    }
}

}  // namespace
