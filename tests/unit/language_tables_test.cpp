#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "app/language.h"
#include "support/test_system.h"

namespace {

struct NamedTable {
    const char* name;
    const LanguageTable* table;
};

const NamedTable kTranslations[] = {
    {"Polish", &kPolishTable}, {"Czech", &kCzechTable}, {"Slovak", &kSlovakTable}};

// The conversion specifications of a printf format, in order ("%04d", "%s", "%%", ...).
std::vector<std::string> conversion_specs(const std::string& format) {
    static const std::regex spec("%[-+ #0]*[0-9]*(\\.[0-9]+)?[hlLzjt]*(.|$)");
    std::vector<std::string> specs;
    for (auto it = std::sregex_iterator(format.begin(), format.end(), spec);
         it != std::sregex_iterator(); ++it) {
        specs.push_back(it->str());
    }
    return specs;
}

int line_breaks(const char* text) {
    return static_cast<int>(std::count(text, text + std::strlen(text), '\n'));
}

TEST(LanguageTables, EveryEntryIsValidTextWithEnglishPlaceholdersAndLineBreaks) {
    EXPECT_EQ(conversion_specs("%04d-%02d%02d/%d-%d %s %.2f%%"),
              (std::vector<std::string>{"%04d", "%02d", "%02d", "%d", "%d", "%s", "%.2f", "%%"}));

    for (const NamedTable& t : kTranslations) {
        for (int entry = 0; entry < kLanguageEntries; ++entry) {
            SCOPED_TRACE(std::string(t.name) + " entry " + std::to_string(entry));
            const char* text = (*t.table)[entry];
            ASSERT_NE(text, nullptr);
            EXPECT_TRUE(valid_utf8(text)) << text;
            EXPECT_EQ(conversion_specs(text), conversion_specs(kEnglishTable[entry])) << text;
            // Czech entry 3 and Polish entry 105 are meant to have one line more.
            const bool extra_line = (t.table == &kCzechTable && entry == 3) ||
                                    (t.table == &kPolishTable && entry == 105);
            EXPECT_EQ(line_breaks(text), line_breaks(kEnglishTable[entry]) + extra_line) << text;
        }
    }
}

TEST(LanguageTables, EachTableKeepsEnglishExactlyWhereIntended) {
    const std::vector<int> slovak = {0,  1,  13, 32, 33,  36,  37,  41,  86,  87,  88,
                                     89, 93, 94, 95, 101, 109, 110, 111, 112, 113, 114};
    const std::function<bool(int)> stays_english[] = {
        [](int) { return false; },
        [](int entry) { return entry == 8 || entry == 48 || (entry >= 105 && entry <= 108); },
        [&](int entry) { return std::find(slovak.begin(), slovak.end(), entry) == slovak.end(); },
    };
    for (int t = 0; t < 3; ++t) {
        const LanguageTable& table = *kTranslations[t].table;
        for (int entry = 0; entry < kLanguageEntries; ++entry) {
            EXPECT_EQ(std::strcmp(table[entry], kEnglishTable[entry]) == 0, stays_english[t](entry))
                << kTranslations[t].name << " entry " << entry << ": " << table[entry];
        }
    }
}

// Entries 0, 1 and 6 stand where the dialogs and labels look for them; 106 once lacked its pronoun.
TEST(LanguageTables, AnswersAndYearWordAtTheirPlacesAndTheFixedEntry) {
    const char* const expected[][3] = {
        {"Tak", "Nie", "rocznik"}, {"ano", "ne", "rok"}, {"ano", "nie", "year"}};
    for (int t = 0; t < 3; ++t) {
        const LanguageTable& table = *kTranslations[t].table;
        EXPECT_STREQ(table[0], expected[t][0]);
        EXPECT_STREQ(table[1], expected[t][1]);
        EXPECT_STREQ(table[6], expected[t][2]);
    }
    EXPECT_STREQ(kPolishTable[106], "Próbuj połączyć się ponownie po rozłączeniu.");
}

}  // namespace
