// Processes: the running-copies check, starting a new copy, ending this one.
#pragma once

#include <string>
#include <vector>

struct RunningProgram {
    int pid;
    std::string name;  // base name of the executable
};
// Running processes that can be inspected (at most 4096); the others are skipped.
std::vector<RunningProgram> running_programs();
int parent_process_id();
// Starts a command line (program path first, arguments split at blanks, double quotes group).
bool start_process(const std::string& command_line);
[[noreturn]] void exit_program(int code);
