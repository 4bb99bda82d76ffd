#include "platform/append_file.h"

std::FILE* open_append_file(const std::string& path) {
    return std::fopen(path.c_str(), "ab");
}
