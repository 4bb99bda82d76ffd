#include "platform/output_file.h"

#include <algorithm>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include "platform/utf16_win32.h"

OutputFile::~OutputFile() {
    close();
}

bool OutputFile::create(const std::string& path) {
    close();
    // Binary: the C library would otherwise turn every "\n" of the download into "\r\n".
    fd_ = _wopen(to_utf16(path).c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY | _O_NOINHERIT,
                 _S_IREAD | _S_IWRITE);
    return fd_ >= 0;
}

bool OutputFile::write(const char* data, size_t size) {
    if (fd_ < 0)
        return false;
    size_t written = 0;
    while (written < size) {
        const unsigned chunk = static_cast<unsigned>(std::min<size_t>(size - written, 1 << 20));
        const int n = _write(fd_, data + written, chunk);
        if (n <= 0)
            return false;
        written += static_cast<size_t>(n);
    }
    return true;
}

bool OutputFile::close() {
    if (fd_ < 0)
        return true;
    const bool ok = _close(fd_) == 0;
    fd_ = -1;
    return ok;
}
