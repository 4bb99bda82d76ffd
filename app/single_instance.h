// Only one copy of the program may run: two would fight over the one USB device.
#pragma once

#include <string>
#include <vector>

// The file name after the last path separator ("\" or "/").
std::string program_file_name(const std::string& program_path);
// True when at least two running programs' names contain own_name: the first match is this
// process itself.
bool another_copy_running(const std::vector<std::string>& running_names,
                          const std::string& own_name);
// True when another copy of the program at this path runs. A copy that restarts itself
// (another language) starts this one and then ends; still running for a moment as our
// parent, it is not a second instance.
bool other_copy_running(const char* program_path);
