// The few POSIX socket calls the loopback peers use, on Winsock as well. Sockets are kept in
// an int: Windows socket handles fit in 32 bits.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#define SOCK_CLOEXEC 0
#define MSG_NOSIGNAL 0
#define SHUT_RDWR SD_BOTH
// Winsock has no per-call non-blocking flag; the peers only use it after poll said ready or
// for small sends on loopback, which do not block.
#define MSG_DONTWAIT 0

inline int poll(pollfd* fds, unsigned long count, int timeout_ms) {
    return WSAPoll(fds, count, timeout_ms);
}
inline int accept4(int listener, sockaddr* address, int* length, int) {
    return static_cast<int>(accept(static_cast<SOCKET>(listener), address, length));
}
inline int close_socket(int fd) {
    return closesocket(static_cast<SOCKET>(fd));
}
// Winsock must be started before the first socket; the count of starts is kept by the system.
struct SocketsStarted {
    SocketsStarted() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~SocketsStarted() { WSACleanup(); }
};
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

inline int close_socket(int fd) {
    return close(fd);
}
struct SocketsStarted {};
#endif

inline bool readable(int fd, int timeout_ms) {
    pollfd p{};
    p.fd = fd;  // a SOCKET on Windows
    p.events = POLLIN;
    return poll(&p, 1, timeout_ms) > 0;
}

// A socket listening on 127.0.0.1; port stays 0 when it could not be set up.
inline int listen_on_loopback(uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
        listen(fd, 4) == 0 && getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    return fd;
}

// Byte by byte, so that nothing after `end` is taken, until `end`, `limit` bytes or the time.
inline std::string read_until(int fd, const std::string& end, size_t limit, int timeout_ms,
                              const std::atomic<bool>& stop) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (text.size() < limit && std::chrono::steady_clock::now() < deadline && !stop) {
        char c;
        if (!readable(fd, 20))
            continue;
        if (recv(fd, &c, 1, 0) != 1)
            break;
        text.push_back(c);
        if (text.size() >= end.size() &&
            text.compare(text.size() - end.size(), end.size(), end) == 0)
            break;
    }
    return text;
}
