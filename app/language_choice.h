// Choosing the interface language at start-up, and changing it by restarting the program.
#pragma once

#include <string>

// The program's own path (first command-line argument), kept for restarts.
const std::string& program_path();

// Picks the language from "--lang CODE", else the stored settings language, else the user's
// locale; English when none of them names a known language. The chosen string is kept as the
// settings language, and saved at once when it came from "--lang". Returns the LanguageList index.
int choose_language(int argc, const char* const* argv);

// Restarts the program in the language with this code, unless it is already the current one.
void switch_language(const char* code);

// Quoted program path, " tarvel" when the hidden switch is on, " --lang CODE" when a code is given
// (code may be null); cut to kMaxRestartCommandLine characters.
constexpr size_t kMaxRestartCommandLine = 1000;
std::string restart_command_line(const std::string& program_path, bool hidden_switch,
                                 const char* code);

// Starts a new copy of the program (in the language with this code, or null to keep the
// stored one) and ends this one with exit code 0, also when the new copy could not start.
[[noreturn]] void restart_program(const char* code);
