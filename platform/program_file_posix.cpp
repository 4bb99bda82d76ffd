#include "platform/program_file.h"

#include <limits.h>
#include <unistd.h>

std::string own_program_file() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    return std::string(path, static_cast<size_t>(length));
}
