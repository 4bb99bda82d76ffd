#include <glib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "app/language.h"

namespace {

struct NamedTable {
    const char* name;
    const LanguageTable* table;
};

const NamedTable kTranslations[] = {
    {"Polish", &kPolishTable},
    {"Czech", &kCzechTable},
    {"Slovak", &kSlovakTable},
};

// The conversion specifications of a printf format, in order ("%04d", "%s", "%%", ...).
std::vector<std::string> conversion_specs(const char* format) {
    std::vector<std::string> specs;
    for (const char* p = format; *p; ++p) {
        if (*p != '%')
            continue;
        const char* start = p++;
        while (*p && std::strchr("-+ #0", *p))
            ++p;
        while (*p >= '0' && *p <= '9')
            ++p;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9')
                ++p;
        }
        while (*p && std::strchr("hlLzjt", *p))
            ++p;
        if (!*p) {
            specs.push_back(std::string(start) + "<unterminated>");
            break;
        }
        specs.emplace_back(start, p + 1);
    }
    return specs;
}

int line_breaks(const char* text) {
    return static_cast<int>(std::count(text, text + std::strlen(text), '\n'));
}

bool same_as_english(const LanguageTable& table, int entry) {
    return std::strcmp(table[entry], kEnglishTable[entry]) == 0;
}

}  // namespace

TEST(LanguageTables, EveryEntryIsValidTextWithEnglishPlaceholdersInOrder) {
    EXPECT_EQ(conversion_specs("%04d-%02d%02d/%d-%d %s %d%%"),
              (std::vector<std::string>{"%04d", "%02d", "%02d", "%d", "%d", "%s", "%d", "%%"}));

    for (const NamedTable& t : kTranslations) {
        for (int entry = 0; entry < kLanguageEntries; ++entry) {
            SCOPED_TRACE(std::string(t.name) + " entry " + std::to_string(entry));
            const char* text = (*t.table)[entry];
            ASSERT_NE(text, nullptr);
            EXPECT_TRUE(g_utf8_validate(text, -1, nullptr)) << text;
            EXPECT_EQ(conversion_specs(text), conversion_specs(kEnglishTable[entry])) << text;
        }
    }
}

TEST(LanguageTables, LineBreaksFollowEnglishExceptWhereTheyAreMeantToDiffer) {
    for (const NamedTable& t : kTranslations) {
        for (int entry = 0; entry < kLanguageEntries; ++entry) {
            int expected = line_breaks(kEnglishTable[entry]);
            if (t.table == &kCzechTable && entry == 3)
                expected += 1;
            if (t.table == &kPolishTable && entry == 105)
                expected += 1;
            EXPECT_EQ(line_breaks((*t.table)[entry]), expected)
                << t.name << " entry " << entry << ": " << (*t.table)[entry];
        }
    }
}

TEST(LanguageTables, AnswersTitleAndYearWord) {
    EXPECT_STREQ(kPolishTable[0], "Tak");
    EXPECT_STREQ(kPolishTable[1], "Nie");
    EXPECT_STREQ(kCzechTable[0], "ano");
    EXPECT_STREQ(kCzechTable[1], "ne");
    EXPECT_STREQ(kSlovakTable[0], "ano");
    EXPECT_STREQ(kSlovakTable[1], "nie");

    EXPECT_STREQ(kPolishTable[2], "Programator Quarnell QN%s v.%d.%d.%d");

    EXPECT_STREQ(kPolishTable[6], "rocznik");
    EXPECT_STREQ(kCzechTable[6], "rok");
    EXPECT_STREQ(kSlovakTable[6], "year");
}

TEST(LanguageTables, PolishIsTranslatedThroughoutWithItsOwnWarnings) {
    for (int entry = 0; entry < kLanguageEntries; ++entry) {
        EXPECT_FALSE(same_as_english(kPolishTable, entry))
            << "entry " << entry << " is untranslated: " << kPolishTable[entry];
    }
    EXPECT_STREQ(kPolishTable[108],
                 "UWAGA: Niezbędna zmiana oprogramowania QN718 do wersji >=0022.");
    EXPECT_EQ(line_breaks(kPolishTable[105]), 3);  // four lines
}

TEST(LanguageTables, CzechKeepsEnglishOnlyWhereIntended) {
    for (int entry = 0; entry < kLanguageEntries; ++entry) {
        const bool english = entry == 8 || entry == 48 || entry >= 105;
        EXPECT_EQ(same_as_english(kCzechTable, entry), english)
            << "entry " << entry << ": " << kCzechTable[entry];
    }
    EXPECT_STREQ(kCzechTable[3], "Vyhledávám zařízení...\n");
}

TEST(LanguageTables, SlovakTranslatesOnlyItsListedEntries) {
    const std::vector<int> translated = {0,  1,  13, 32, 33, 36, 37, 41,
                                         86, 87, 88, 89, 93, 94, 95, 101};
    for (int entry = 0; entry < kLanguageEntries; ++entry) {
        const bool listed =
            std::find(translated.begin(), translated.end(), entry) != translated.end();
        EXPECT_EQ(same_as_english(kSlovakTable, entry), !listed)
            << "entry " << entry << ": " << kSlovakTable[entry];
    }
}
