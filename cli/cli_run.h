// The tool's work: one command from the command line, on the device behind hidapi.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

struct CliStreams {
    std::FILE* out;        // results
    std::FILE* err;        // messages and progress
    bool err_is_terminal;  // progress is redrawn in place
};

// Runs the command and returns the exit status (cli/exit_status.h). hidapi is started here and
// left to the caller to end.
int run_cli(int argc, const char* const* argv, const CliStreams& io);

// The window program among the running programs' names; "" when it does not run.
std::string running_window_program(const std::vector<std::string>& names);
