#pragma once

#include <string>

// The user's profile folder: USERPROFILE when set, else HOME; "" when neither is.
std::string profile_folder();
// profile_folder() joined with a file name.
std::string profile_file(const char* name);
