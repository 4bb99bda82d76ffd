// The conventional command-line options (--help, --version), answered before anything else
// starts: no settings, no window, no device and no single-instance check.
#pragma once

#include <string>

enum class CommandLineRequest { run, help, version };

// --help or -h, --version or -V anywhere among the arguments; the first one wins. The word
// right after "--lang" is the language code, never an option. Every other argument is left to
// the program (the language choice and the hidden switch read their own).
CommandLineRequest command_line_request(int argc, const char* const* argv);

// The texts printed for --help and --version; program is the name the program was started as.
std::string help_text(const std::string& program);
std::string version_text();

// Prints the text a request asks for on standard output and returns true (the caller ends with
// exit code 0); returns false for a normal run.
bool answer_command_line(int argc, const char* const* argv);
