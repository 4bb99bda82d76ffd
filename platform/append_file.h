// A file opened for appending by its UTF-8 name.
#pragma once

#include <cstdio>
#include <string>

// Opens (creating it when missing) for appending in binary mode; other programs may read and
// write it meanwhile. Null when it cannot be opened.
std::FILE* open_append_file(const std::string& path);
