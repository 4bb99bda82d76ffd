#include "platform/files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_descriptor_posix.h"

bool read_whole_file(const std::string& path, size_t max_bytes, std::string& out) {
    out.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        return false;
    out.resize(max_bytes);
    size_t total = 0;
    while (total < max_bytes) {
        const ssize_t got = ::read(file.get(), &out[total], max_bytes - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        total += static_cast<size_t>(got);
    }
    out.resize(total);
    return true;
}

bool write_whole_file(const std::string& path, const std::string& data) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.valid())
        return false;
    size_t total = 0;
    while (total < data.size()) {
        const ssize_t put = ::write(file.get(), data.data() + total, data.size() - total);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        total += static_cast<size_t>(put);
    }
    return file.close();
}

bool replace_file(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool remove_file(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}
