#include "platform/tcp_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

// Waits for one direction with select; descriptors beyond FD_SETSIZE cannot be watched.
SocketWait wait_for(int fd, bool write, int timeout_ms) {
    if (fd < 0 || fd >= FD_SETSIZE)
        return SocketWait::failed;
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    int result;
    do {
        result = select(fd + 1, write ? nullptr : &set, write ? &set : nullptr, nullptr, &limit);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        return SocketWait::failed;
    return result == 0 ? SocketWait::timed_out : SocketWait::ready;
}

// Whole milliseconds left until the deadline, 0 once it has passed.
int ms_until(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

bool lookup_ipv4(const std::string& host, Ipv4Address& address) {
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
        return false;
    address.network_order = reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

bool TcpClient::open() {
    close();
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // Non-blocking, so that connecting and receiving wait in select with a limit instead.
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

void TcpClient::send_without_delay() {
    const int on = 1;
    setsockopt(static_cast<int>(handle_), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

bool TcpClient::start_connect(const Ipv4Address& address, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address.network_order;
    if (connect(static_cast<int>(handle_), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0)
        return true;
    return errno == EINPROGRESS || errno == EINTR;
}

SocketWait TcpClient::wait_connected(int timeout_ms) {
    const SocketWait wait = wait_for(static_cast<int>(handle_), true, timeout_ms);
    if (wait != SocketWait::ready)
        return wait;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(static_cast<int>(handle_), SOL_SOCKET, SO_ERROR, &error, &length) != 0 ||
        error != 0)
        return SocketWait::failed;
    return SocketWait::ready;
}

size_t TcpClient::send_all(const char* data, size_t size, int timeout_ms,
                           const WaitServe& meanwhile) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    size_t sent = 0;
    while (sent < size) {
        const SocketWait wait =
            wait_for(static_cast<int>(handle_), true, std::min(kWaitSliceMs, ms_until(deadline)));
        if (wait == SocketWait::failed)
            break;
        if (wait == SocketWait::timed_out) {
            if (ms_until(deadline) <= 0)
                break;
            if (meanwhile)
                meanwhile();
            continue;
        }
        // No SIGPIPE when the peer has gone: the short count says so.
        const ssize_t n = send(static_cast<int>(handle_), data + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            break;
        sent += static_cast<size_t>(n);
        // A peer that takes a little now and then must not stretch the send past its limit.
        if (sent < size && ms_until(deadline) <= 0)
            break;
    }
    return sent;
}

SocketWait TcpClient::wait_readable(int timeout_ms) {
    return wait_for(static_cast<int>(handle_), false, timeout_ms);
}

SocketWait TcpClient::wait_writable(int timeout_ms) {
    return wait_for(static_cast<int>(handle_), true, timeout_ms);
}

long TcpClient::receive(char* buffer, size_t size) {
    ssize_t n;
    do {
        n = recv(static_cast<int>(handle_), buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

void TcpClient::close() {
    if (handle_ != kNoSocket) {
        ::close(static_cast<int>(handle_));
        handle_ = kNoSocket;
    }
}
