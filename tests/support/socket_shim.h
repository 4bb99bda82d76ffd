// The few POSIX socket calls the loopback peers use, on Winsock as well. Sockets are kept in
// an int: Windows socket handles fit in 32 bits.
#pragma once

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
