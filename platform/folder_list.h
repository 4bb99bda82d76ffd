// Names in a folder.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The names of a folder's entries (files and folders alike, "." and ".." included), in the
// order the system gives them, at most max_entries. False when it cannot be opened as a folder.
bool list_folder(const std::string& folder, size_t max_entries, std::vector<std::string>& names);
