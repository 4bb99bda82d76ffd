// Files that must never be found half written: the configuration history and the station's
// report. Names are UTF-8.
#pragma once

#include <string>

// Creates the folder and every missing folder above it; true when it exists afterwards.
bool make_folders(const std::string& folder);
// Writes data to temporary_path, flushes it to the disk, then renames it to path (replacing a
// file of that name). On any failure the temporary file is removed and path is untouched, so
// a crash or a full disk leaves either the whole new file or none.
bool write_file_safely(const std::string& path, const std::string& temporary_path,
                       const std::string& data);
// Appends data at the end of the file (created when missing) and flushes it to the disk.
bool append_to_file(const std::string& path, const std::string& data);
