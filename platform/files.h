// Whole-file reading and writing with UTF-8 names.
#pragma once

#include <cstddef>
#include <string>

// Reads at most max_bytes. False when the file cannot be opened (out is then empty).
bool read_whole_file(const std::string& path, size_t max_bytes, std::string& out);
// Creates or truncates the file and writes all of data. False on any failure.
bool write_whole_file(const std::string& path, const std::string& data);
