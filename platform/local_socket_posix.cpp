#include "platform/local_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

bool wait_for(int fd, short events, int timeout_ms) {
    pollfd p{};
    p.fd = fd;
    p.events = events;
    int result;
    do {
        result = ::poll(&p, 1, timeout_ms);
    } while (result < 0 && errno == EINTR);
    return result > 0;
}

}  // namespace

LocalSocket::~LocalSocket() {
    close();
}

void LocalSocket::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool LocalSocket::connect(const std::string& path, std::string& reason) {
    close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        reason = std::strerror(ENAMETOOLONG);
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    // A local connect does not wait for the far side: it is accepted into the backlog or
    // refused at once.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return false;
    }
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

bool LocalSocket::send_all(const char* data, size_t size, int timeout_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t sent = 0;
    while (fd_ >= 0 && sent < size) {
        const ssize_t n = ::send(fd_, data + sent, size - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && left > 0 &&
            wait_for(fd_, POLLOUT, static_cast<int>(left)))
            continue;
        close();
    }
    return fd_ >= 0 && sent == size;
}

LocalRead LocalSocket::receive(std::string& into, size_t most, int timeout_ms) {
    if (fd_ < 0)
        return LocalRead::closed;
    if (!wait_for(fd_, POLLIN, timeout_ms))
        return LocalRead::timed_out;
    char buffer[8192];
    ssize_t n;
    do {
        n = ::recv(fd_, buffer, std::min(most, sizeof buffer), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return LocalRead::timed_out;
    if (n <= 0) {
        close();
        return LocalRead::closed;
    }
    into.append(buffer, static_cast<size_t>(n));
    return LocalRead::data;
}
