#include "app/language.h"

const std::array<LanguageRow, kLanguageCount + 1> LanguageList = {{
    {"en", &kEnglishTable, "English"},
    {"pl", &kPolishTable, "Polski"},
    {"cs", &kCzechTable, "český"},
    {"sk", &kSlovakTable, "Slovenský"},
    {"", nullptr, nullptr},
}};

namespace {
int g_current_language = kEnglish;
}

int current_language() {
    return g_current_language;
}

void set_current_language(int index) {
    if (index >= 0 && index < kLanguageCount)
        g_current_language = index;
}

const char* lang_text(Text entry) {
    const int index = static_cast<int>(entry);
    if (index < 0 || index >= kLanguageEntries)
        return "";
    return (*LanguageList[g_current_language].table)[index];
}
