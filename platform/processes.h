// Processes: the running-copies check, starting a new copy, ending this one.
#pragma once

#include <string>
#include <vector>

// Base names of the executables of running processes that can be inspected (at most 4096).
std::vector<std::string> running_program_names();
// Starts a command line (program path first, arguments split at blanks, double quotes group).
bool start_process(const std::string& command_line);
[[noreturn]] void exit_program(int code);
