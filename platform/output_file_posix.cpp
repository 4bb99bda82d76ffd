#include "platform/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::create(const std::string& path) {
    close();
    // No following of a link planted where the file goes: it is opened by the desktop later.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0700);
    return fd_ >= 0;
}

bool OutputFile::write(const char* data, size_t size) {
    if (fd_ < 0)
        return false;
    size_t written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd_, data + written, size - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::close() {
    if (fd_ < 0)
        return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
}
