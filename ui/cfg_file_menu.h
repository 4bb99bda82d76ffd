// The "Tools" menu commands that save the configuration page to a ".cfg" file and load it back,
// and the whole-file operations with their error messages.
#pragma once

#include <cstddef>
#include <string>

// Menu commands: a file chooser, then the file. Without a configuration page (no device) they
// show "No USB device found." and do nothing else.
void save_config_file();
void load_config_file();

// The part after the chooser. Saving adds ".cfg" unless the name ends in ".cfg" or ".CFG".
void save_config_file_as(const std::string& name);
void load_config_file_from(const std::string& name);

// Reads at most max_bytes into out; returns the count read, 0 for an empty file or when the
// file cannot be opened ("Error opening file %s!" is shown then).
size_t read_file_whole(std::string& out, const std::string& name, size_t max_bytes);
// Creates or truncates the file and writes data; on failure shows "Error writing file %s!".
bool write_file_whole(const std::string& data, const std::string& name);
