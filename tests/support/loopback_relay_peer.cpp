#include "support/loopback_relay_peer.h"

#include "support/socket_shim.h"

#include <chrono>

namespace {

constexpr int kMaxConnections = 16;
constexpr int kServeLimitMs = 60000;
constexpr int kLoginLimitMs = 5000;
constexpr size_t kMaxLoginLine = 256;

bool readable(int fd, int timeout_ms) {
    pollfd p{};
    p.fd = fd;  // a SOCKET on Windows
    p.events = POLLIN;
    return poll(&p, 1, timeout_ms) > 0;
}

}  // namespace

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (const int value : values)
        text.push_back(static_cast<char>(value));
    return text;
}

LoopbackRelayPeer::LoopbackRelayPeer(std::string password, std::string wrong_answer)
    : password_(std::move(password)), wrong_answer_(std::move(wrong_answer)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 4) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&LoopbackRelayPeer::serve, this);
}

LoopbackRelayPeer::~LoopbackRelayPeer() {
    stop_ = true;
    // Wakes the accepting thread at once: the interruption sweep makes a server for every run.
    if (listener_ >= 0)
        shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const int fd : old_connections_)
        close_socket(fd);
    if (connection_ >= 0)
        close_socket(connection_);
    if (listener_ >= 0)
        close_socket(listener_);
}

std::string LoopbackRelayPeer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> LoopbackRelayPeer::logins() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logins_;
}

bool LoopbackRelayPeer::wait_for_logins(size_t count, int timeout_ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (std::chrono::steady_clock::now() < end) {
        if (logins().size() >= count)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return logins().size() >= count;
}

void LoopbackRelayPeer::serve() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kServeLimitMs);
    for (int accepted = 0; accepted < kMaxConnections && !stop_;) {
        if (std::chrono::steady_clock::now() > end)
            return;
        if (!readable(listener_, 20))
            continue;
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            continue;
        ++accepted;
        // Each piece of a test's stream must arrive on its own, not joined to the next.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        // The login line, byte by byte so that nothing after it is taken from the test.
        std::string line;
        const auto login_end =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoginLimitMs);
        while (line.size() < kMaxLoginLine && std::chrono::steady_clock::now() < login_end &&
               !stop_) {
            if (!readable(fd, 20))
                continue;
            char c;
            if (recv(fd, &c, 1, 0) != 1)
                break;
            line.push_back(c);
            if (c == '\n')
                break;
        }
        {
            // Taken before the answer goes out: a program that has the answer may send at once.
            std::lock_guard<std::mutex> lock(mutex_);
            if (connection_ >= 0)
                old_connections_.push_back(connection_);
            connection_ = fd;
            peer_closed_ = false;
            logins_.push_back(line);
        }
        const std::string answer = line == password_ + "\n" ? "OK" : wrong_answer_;
        ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
    }
}

int LoopbackRelayPeer::connection() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connection_;
}

bool LoopbackRelayPeer::send(const std::string& data) {
    const int fd = connection();
    if (fd < 0)
        return false;
    size_t sent = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(2000);
    while (sent < data.size() && std::chrono::steady_clock::now() < end) {
        const ssize_t n =
            ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return sent == data.size();
}

std::string LoopbackRelayPeer::take(int wait_ms) {
    const int fd = connection();
    std::string received;
    if (fd < 0)
        return received;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    do {
        while (readable(fd, 0)) {
            char buffer[4096];
            const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n <= 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                peer_closed_ = peer_closed_ || n == 0;
                return received;
            }
            received.append(buffer, static_cast<size_t>(n));
        }
        if (wait_ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    } while (std::chrono::steady_clock::now() < end);
    return received;
}

bool LoopbackRelayPeer::closed_by_program(int wait_ms) {
    take(wait_ms);
    std::lock_guard<std::mutex> lock(mutex_);
    return peer_closed_;
}

void LoopbackRelayPeer::close_connection() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (connection_ >= 0)
        close_socket(connection_);
    connection_ = -1;
}
