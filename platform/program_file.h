// The running program's own file.
#pragma once

#include <string>

// Full path of the running executable with links resolved; empty when unknown. Unlike the
// first argument it does not depend on how the program was started (through PATH, say).
std::string own_program_file();
