#include "platform/kept_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/file_descriptor_posix.h"

namespace {

bool write_all(int fd, const std::string& data) {
    size_t total = 0;
    while (total < data.size()) {
        const ssize_t put = ::write(fd, data.data() + total, data.size() - total);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        total += static_cast<size_t>(put);
    }
    return true;
}

// Writes, flushes and closes; false when any of it failed.
bool finish(FileDescriptor& file, const std::string& data) {
    return write_all(file.get(), data) && ::fsync(file.get()) == 0 && file.close();
}

}  // namespace

bool make_folders(const std::string& folder) {
    if (folder.empty())
        return false;
    for (size_t at = folder.find('/', 1); at != std::string::npos; at = folder.find('/', at + 1))
        ::mkdir(folder.substr(0, at).c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool write_file_safely(const std::string& path, const std::string& temporary_path,
                       const std::string& data) {
    FileDescriptor file(
        ::open(temporary_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file.valid())
        return false;
    if (!finish(file, data) || std::rename(temporary_path.c_str(), path.c_str()) != 0) {
        ::unlink(temporary_path.c_str());
        return false;
    }
    return true;
}

bool append_to_file(const std::string& path, const std::string& data) {
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    return file.valid() && finish(file, data);
}
