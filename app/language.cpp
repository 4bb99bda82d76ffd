#include "app/language.h"

const std::array<LanguageRow, kLanguageCount + 1> LanguageList = {{
    {"en", &kEnglishTable, "English"},
    {"pl", &kPolishTable, "Polski"},
    {"cs", &kCzechTable, "český"},
    {"sk", &kSlovakTable, "Slovenský"},
    {"", nullptr, nullptr},
}};

const char* lang_text_in(int language, Text entry) {
    const int index = static_cast<int>(entry);
    if (index < 0 || index >= kLanguageEntries)
        return "";
    if (language < 0 || language >= kLanguageCount)
        language = kEnglish;
    return (*LanguageList[language].table)[index];
}
