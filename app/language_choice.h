// Choosing the interface language at start-up, and changing it by restarting the program.
#pragma once

#include <string>

struct UserSettings;

// Picks the language from "--lang CODE", else the settings language, else the user's locale;
// English when none of them names a known language. The chosen string is kept as the settings
// language, and saved at once when it came from "--lang". Returns the LanguageList index.
int choose_language(int argc, const char* const* argv, UserSettings& settings);

// How the program was started, as a restart hands it on: its own path (the first command-line
// argument) and the hidden switch.
struct ProgramStart {
    std::string program_path;
    bool hidden_switch = false;
};

// Restarts the program in the language with this code, unless it is already the language given
// (an index of LanguageList).
void switch_language(const ProgramStart& start, int language, const char* code);

// Quoted program path, " tarvel" when the hidden switch is on, " --lang CODE" when a code is given
// (code may be null); cut to kMaxRestartCommandLine characters.
constexpr size_t kMaxRestartCommandLine = 1000;
std::string restart_command_line(const std::string& program_path, bool hidden_switch,
                                 const char* code);

// Starts a new copy of the program (in the language with this code, or null to keep the
// stored one) and ends this one with exit code 0, also when the new copy could not start.
[[noreturn]] void restart_program(const ProgramStart& start, const char* code);
