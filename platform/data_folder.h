// The program's own folder among the user's data: POSIX "$XDG_DATA_HOME/qn718-programmer"
// (else "~/.local/share/qn718-programmer"), Windows "%LOCALAPPDATA%\qn718-programmer".
// Nothing is created here; "" when the system names no such place.
#pragma once

#include <string>

std::string user_data_folder();
// folder joined with a name by the system's separator.
std::string data_path(const std::string& folder, const std::string& name);
