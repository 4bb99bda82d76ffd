#include "app/language_choice.h"

#include <cstring>

#include "app/language.h"
#include "app/user_settings.h"
#include "platform/processes.h"
#include "platform/user_locale.h"

namespace {

// The first "--lang" with a value after it; null when there is none.
const char* requested_language(int argc, const char* const* argv) {
    for (int i = 1; i < argc - 1; ++i) {
        if (std::strcmp(argv[i], "--lang") == 0)
            return argv[i + 1];
    }
    return nullptr;
}

int language_index(const std::string& code) {
    for (int i = 0; LanguageList[i].code[0] != '\0'; ++i) {
        if (code == LanguageList[i].code)
            return i;
    }
    return kEnglish;
}

}  // namespace

int choose_language(int argc, const char* const* argv, UserSettings& settings) {
    const char* requested = requested_language(argc, argv);
    std::string language;
    if (requested) {
        language = requested;
    } else if (!settings.language.empty()) {
        language = settings.language;
    } else {
        language = user_locale_language();
    }

    settings.language = language;
    // The copy that a language change starts stores the choice, so that it outlives the restart.
    if (requested)
        save_user_settings(settings);

    // Locale names carry a region ("pl_PL"); the table codes do not.
    const std::string code = language.substr(0, language.find('_'));
    return language_index(code);
}

void switch_language(const ProgramStart& start, int language, const char* code) {
    if (language < 0 || language >= kLanguageCount ||
        std::strcmp(code, LanguageList[language].code) != 0)
        restart_program(start, code);
}

std::string restart_command_line(const std::string& program_path, bool hidden_switch,
                                 const char* code) {
    std::string line = "\"" + program_path + "\"";
    if (hidden_switch)
        line += " tarvel";
    if (code) {
        line += " --lang ";
        line += code;
    }
    if (line.size() > kMaxRestartCommandLine)
        line.resize(kMaxRestartCommandLine);
    return line;
}

void restart_program(const ProgramStart& start, const char* code) {
    start_process(restart_command_line(start.program_path, start.hidden_switch, code));
    // The language (or theme) is fixed for a process's lifetime, so this one ends either way.
    exit_program(0);
}
