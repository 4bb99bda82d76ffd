#include "support/loopback_relay_peer.h"

#include <chrono>

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

std::string bytes(std::initializer_list<int> values) {
    std::string text;
    for (const int value : values)
        text.push_back(static_cast<char>(value));
    return text;
}

LoopbackRelayPeer::LoopbackRelayPeer(std::string password, std::string wrong_answer)
    : password_(std::move(password)), wrong_answer_(std::move(wrong_answer)) {
    listener_ = listen_on_loopback(port_);
    if (port_ != 0)
        thread_ = std::thread(&LoopbackRelayPeer::serve, this);
}

LoopbackRelayPeer::~LoopbackRelayPeer() {
    stop_ = true;
    // Wakes the accepting thread at once: the interruption sweep makes a server for every run.
    if (listener_ >= 0)
        shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable())
        thread_.join();
    old_connections_.push_back(connection_);
    old_connections_.push_back(listener_);
    for (const int fd : old_connections_) {
        if (fd >= 0)
            close_socket(fd);
    }
}

std::string LoopbackRelayPeer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> LoopbackRelayPeer::logins() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return logins_;
}

bool LoopbackRelayPeer::wait_for_logins(size_t count, int timeout_ms) const {
    const auto end = Clock::now() + milliseconds(timeout_ms);
    while (logins().size() < count && Clock::now() < end)
        std::this_thread::sleep_for(milliseconds(5));
    return logins().size() >= count;
}

void LoopbackRelayPeer::serve() {
    const auto end = Clock::now() + milliseconds(60000);
    for (int accepted = 0; accepted < 16 && !stop_ && Clock::now() < end;) {
        const int fd =
            readable(listener_, 20) ? accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC) : -1;
        if (fd < 0)
            continue;
        ++accepted;
        // Each piece of a test's stream must arrive on its own, not joined to the next.
        const int on = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        const std::string line = read_until(fd, "\n", 256, 5000, stop_);
        {
            // Taken before the answer goes out: a program that has the answer may send at once.
            std::lock_guard<std::mutex> lock(mutex_);
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
    size_t sent = 0;
    const auto end = Clock::now() + milliseconds(2000);
    while (fd >= 0 && sent < data.size() && Clock::now() < end) {
        const ssize_t n =
            ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return false;
        else
            std::this_thread::sleep_for(milliseconds(1));
    }
    return fd >= 0 && sent == data.size();
}

std::string LoopbackRelayPeer::take(int wait_ms) {
    const int fd = connection();
    std::string received;
    if (fd < 0)
        return received;
    const auto end = Clock::now() + milliseconds(wait_ms);
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
            std::this_thread::sleep_for(milliseconds(2));
    } while (Clock::now() < end);
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
