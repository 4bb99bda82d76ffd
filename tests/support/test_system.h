// What the tests need from the system that POSIX and Windows spell differently.
#pragma once

#include <cstdint>
#include <string>

// A new empty folder under the system's temporary folder; "" when none could be made.
std::string make_temp_folder(const std::string& prefix);
// A null value removes the variable. UTF-8 on every system.
void set_environment(const char* name, const char* value);
// Sets a file's last-write time, given in seconds and nanoseconds since 1970 (UTC).
bool set_last_write_time(const std::string& path, int64_t seconds, int64_t nanoseconds);
// An independent UTF-8 check: the system's own decoder, not the program's.
bool valid_utf8(const char* text);
