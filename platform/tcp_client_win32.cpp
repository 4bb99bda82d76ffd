#include "platform/tcp_client.h"

#include <algorithm>
#include <chrono>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace {

// Winsock wants starting before the first call; this file is linked in exactly when a
// connection is used, so the program starts it once at start-up and never otherwise.
struct WinsockStart {
    WinsockStart() {
        WSADATA data;
        started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockStart() {
        if (started)
            WSACleanup();
    }
    bool started = false;
};
const WinsockStart winsock_start;

SOCKET socket_of(intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

// A connection that fails is reported in the exception set, not the write set as on POSIX.
SocketWait wait_for(SOCKET socket, bool write, int timeout_ms) {
    if (socket == INVALID_SOCKET)
        return SocketWait::failed;
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval limit{timeout_ms / 1000, (timeout_ms % 1000) * 1000};
    const int result =
        select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &limit);
    if (result < 0 || FD_ISSET(socket, &failed))
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
    if (host.empty() || !winsock_start.started)
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
    const SOCKET s = WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                                WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET)
        return false;
    // Non-blocking, so that connecting and receiving wait in select with a limit instead.
    u_long non_blocking = 1;
    if (ioctlsocket(s, FIONBIO, &non_blocking) != 0) {
        closesocket(s);
        return false;
    }
    handle_ = static_cast<intptr_t>(s);
    return true;
}

bool TcpClient::start_connect(const Ipv4Address& address, uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address.network_order;
    if (connect(socket_of(handle_), reinterpret_cast<sockaddr*>(&peer), sizeof peer) == 0)
        return true;
    return WSAGetLastError() == WSAEWOULDBLOCK;
}

SocketWait TcpClient::wait_connected(int timeout_ms) {
    const SocketWait wait = wait_for(socket_of(handle_), true, timeout_ms);
    if (wait != SocketWait::ready)
        return wait;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(socket_of(handle_), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                   &length) != 0 ||
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
            wait_for(socket_of(handle_), true, std::min(kWaitSliceMs, ms_until(deadline)));
        if (wait == SocketWait::failed)
            break;
        if (wait == SocketWait::timed_out) {
            if (ms_until(deadline) <= 0)
                break;
            if (meanwhile)
                meanwhile();
            continue;
        }
        const int chunk = static_cast<int>(std::min<size_t>(size - sent, 1 << 20));
        const int n = send(socket_of(handle_), data + sent, chunk, 0);
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK)
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

void TcpClient::send_without_delay() {
    const BOOL on = TRUE;
    setsockopt(socket_of(handle_), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
               sizeof on);
}

SocketWait TcpClient::wait_writable(int timeout_ms) {
    return wait_for(socket_of(handle_), true, timeout_ms);
}

SocketWait TcpClient::wait_readable(int timeout_ms) {
    return wait_for(socket_of(handle_), false, timeout_ms);
}

long TcpClient::receive(char* buffer, size_t size) {
    const int chunk = static_cast<int>(std::min<size_t>(size, 1 << 20));
    const int n = recv(socket_of(handle_), buffer, chunk, 0);
    return n == SOCKET_ERROR ? -1 : static_cast<long>(n);
}

void TcpClient::close() {
    if (handle_ != kNoSocket) {
        closesocket(socket_of(handle_));
        handle_ = kNoSocket;
    }
}
