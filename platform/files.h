// Whole-file reading and writing with UTF-8 names.
#pragma once

#include <cstddef>
#include <string>

// Reads at most max_bytes. False when the file cannot be opened (out is then empty).
bool read_whole_file(const std::string& path, size_t max_bytes, std::string& out);
// Creates or truncates the file and writes all of data. False on any failure.
bool write_whole_file(const std::string& path, const std::string& data);
// Gives the file from the name to, in place of any file of that name, in one step: to is
// never seen half written. Both lie in the same folder.
bool replace_file(const std::string& from, const std::string& to);
// False when the file could not be removed; a missing file is not removed either.
bool remove_file(const std::string& path);
