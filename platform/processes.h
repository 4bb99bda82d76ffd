// Processes: the running-copies check, starting a new copy, ending this one.
#pragma once

#include <string>
#include <vector>

// Base names of the executables of running processes that can be inspected (at most 4096).
// The parent process is left out: a copy that restarts itself (another language) starts the
// new copy and then ends, and the new copy must not take it for a second instance.
std::vector<std::string> running_program_names();
// Starts a command line (program path first, arguments split at blanks, double quotes group).
bool start_process(const std::string& command_line);
[[noreturn]] void exit_program(int code);
