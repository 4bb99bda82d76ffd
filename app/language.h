// The program's text tables: every visible text is entry N of the current table.
#pragma once

#include <array>

#include "app/text_id.h"

using LanguageTable = std::array<const char*, kLanguageEntries>;

extern const LanguageTable kEnglishTable;
extern const LanguageTable kPolishTable;
extern const LanguageTable kCzechTable;
extern const LanguageTable kSlovakTable;

enum LanguageIndex { kEnglish = 0, kPolish = 1, kCzech = 2, kSlovak = 3 };
constexpr int kLanguageCount = 4;

// One row of the language menu; the list ends with a row whose code is empty.
struct LanguageRow {
    const char* code;
    const LanguageTable* table;
    const char* menu_label;  // the language's own name
};
extern const std::array<LanguageRow, kLanguageCount + 1> LanguageList;

// Entry of a language's table (an index of LanguageList; English outside the list).
const char* lang_text_in(int language, Text entry);
