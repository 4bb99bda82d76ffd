// Where a downloaded program installer is kept, and handing it to the system to start.
#pragma once

#include <string>

// Windows: the profile folder's "AppData\Local\Temp\Autoupdate.exe". POSIX: "Autoupdate.exe"
// in a folder of the program's own inside the user's cache folder ($XDG_CACHE_HOME, else
// ~/.cache). Empty when there is no such folder.
std::string installer_file_path();
// Creates the folder the installer goes into when it is missing; false when it cannot.
bool prepare_installer_folder(const std::string& installer_file);
// Windows: the shell's "open" verb. POSIX: the desktop's handler (xdg-open). False when the
// handler could not be started.
bool open_installer(const std::string& path);
