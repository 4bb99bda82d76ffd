// Listing a folder's files with their last-write times, and the current time, both in
// Windows file-time units (100 ns since 1601-01-01 UTC).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FolderEntry {
    std::string path;  // folder, separator, name (UTF-8)
    uint64_t last_write_time = 0;
};

// The regular files of a folder whose names end in suffix, compared without regard to case as
// Windows matches "*.bin". A folder that cannot be read gives no entries.
std::vector<FolderEntry> list_folder_files(const std::string& folder, const std::string& suffix);

uint64_t file_time_now();

// Seconds and nanoseconds since 1970 in file-time units.
uint64_t file_time_from_unix(int64_t seconds, int64_t nanoseconds);
