// qn718-relay in this process on 127.0.0.1 (any free port) with its technician socket in a
// temporary folder, and the two kinds of peer it serves as plain sockets. The server's clock can
// be moved on, so expiries and blocks need no waiting. Every wait is bounded.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "relay_server/relay_codec.h"
#include "relay_server/relay_server.h"
#include "relay_server/technician_client.h"

namespace relay_test {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A connected stream socket of either kind, closed on destruction.
class Peer {
   public:
    Peer() = default;
    explicit Peer(int fd) : fd_(fd) {}
    ~Peer() { close(); }
    Peer(Peer&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Peer& operator=(Peer&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    bool send(const std::string& bytes) const {
        return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    }
    // What arrives within wait_ms, stopping early once `until` has come (or count bytes).
    std::string receive(int wait_ms, const std::string& until = "", size_t count = 0) {
        const auto end = Clock::now() + milliseconds(wait_ms);
        while (Clock::now() < end) {
            if ((!until.empty() && received_.find(until) != std::string::npos) ||
                (count && received_.size() >= count))
                break;
            pollfd polled{fd_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
            if (::poll(&polled, 1, static_cast<int>(std::max<long>(left, 0))) <= 0)
                break;
            char buffer[16384];
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ended_ = true;
                break;
            }
            received_.append(buffer, static_cast<size_t>(n));
        }
        std::string taken;
        taken.swap(received_);
        return taken;
    }
    // The other end closed the connection within wait_ms (what came before is dropped).
    bool closed_by_server(int wait_ms) {
        const auto end = Clock::now() + milliseconds(wait_ms);
        while (!ended_ && Clock::now() < end)
            receive(static_cast<int>(
                std::chrono::duration_cast<milliseconds>(end - Clock::now()).count()));
        return ended_;
    }

   private:
    int fd_ = -1;
    std::string received_;
    bool ended_ = false;
};

inline Peer connect_program(uint16_t port) {
    Peer peer(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    ::setsockopt(peer.fd(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(peer.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        peer.close();
    return peer;
}

inline Peer connect_technician(const std::string& path) {
    Peer peer(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(peer.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        peer.close();
    return peer;
}

class RunningRelay {
   public:
    explicit RunningRelay(size_t max_sessions = 1000) {
        char folder[] = "/tmp/qn718-relay-test-XXXXXX";
        folder_ = ::mkdtemp(folder) ? folder : "";
        relay_server::RelayServerOptions options;
        options.listen_address = "127.0.0.1";
        options.port = 0;
        options.technician_socket = socket_path();
        options.max_sessions = max_sessions;
        options.log = [this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            log_.push_back(line);
        };
        options.clock = [this] { return Clock::now() + milliseconds(offset_ms_.load()); };
        server_ = std::make_unique<relay_server::RelayServer>(std::move(options));
        started_ = server_->start(error_);
        if (started_)
            thread_ = std::thread([this] { server_->run(); });
    }
    ~RunningRelay() {
        if (thread_.joinable()) {
            server_->stop();
            thread_.join();
        }
        server_.reset();
        ::rmdir(folder_.c_str());
    }

    bool started() const { return started_; }
    const std::string& error() const { return error_; }
    uint16_t port() const { return server_->port(); }
    std::string socket_path() const { return folder_ + "/technician.sock"; }
    // Moves the server's clock on; it sees the new time within a quarter of a second.
    void advance(std::chrono::seconds by) { offset_ms_ += milliseconds(by).count(); }
    std::vector<std::string> log() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    bool log_has(const std::string& text) const {
        for (const std::string& line : log())
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }

    relay_server::ControlAnswer ask(const std::string& request) const {
        return relay_server::ask_relay(socket_path(), request);
    }
    // A new code, "" when the server refused.
    std::string new_code(int minutes = 30) const {
        const auto answer = ask("NEW " + std::to_string(minutes));
        if (answer.lines.size() != 1 || answer.lines[0].rfind("CODE ", 0) != 0)
            return "";
        return answer.lines[0].substr(5, 11);
    }
    // A program that sent this password; returns its connection with the answer read.
    Peer log_in(const std::string& password, std::string& answer) const {
        Peer program = connect_program(port());
        program.send(password + "\n");
        answer = program.receive(3000, "", 2);
        return program;
    }
    // A technician attached to the session of code; "OK" read.
    Peer attach(const std::string& code, int wait_seconds = 0) const {
        Peer technician = connect_technician(socket_path());
        technician.send("ATTACH " + code + " " + std::to_string(wait_seconds) + "\n");
        return technician;
    }

   private:
    std::string folder_;
    std::unique_ptr<relay_server::RelayServer> server_;
    std::thread thread_;
    bool started_ = false;
    std::string error_;
    std::atomic<long long> offset_ms_{0};
    mutable std::mutex mutex_;
    std::vector<std::string> log_;
};

inline std::string record(const std::string& bytes) {
    return *relay_server::encode_record(bytes);
}

}  // namespace relay_test
