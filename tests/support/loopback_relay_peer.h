// A remote-access server on 127.0.0.1: a thread answers each login, and the test drives the
// latest connection. Every wait is bounded, so a test that goes wrong ends instead of hanging.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/socket_shim.h"

class LoopbackRelayPeer {
   public:
    // Logins with this password get "OK", others wrong_answer.
    explicit LoopbackRelayPeer(std::string password = "secret", std::string wrong_answer = "NO");
    ~LoopbackRelayPeer();
    LoopbackRelayPeer(const LoopbackRelayPeer&) = delete;
    LoopbackRelayPeer& operator=(const LoopbackRelayPeer&) = delete;

    // "127.0.0.1:PORT", for QN718_REMOTE_SERVER.
    std::string address() const;
    uint16_t port() const { return port_; }
    // Password lines received, one per connection, LF included.
    std::vector<std::string> logins() const;
    // Waits until this many login lines came in (each is answered right after).
    bool wait_for_logins(size_t count, int timeout_ms = 5000) const;

    // On the latest connection: sends at once; false when it could not send it all.
    bool send(const std::string& bytes);
    // Everything the program sent since the last take, after waiting up to wait_ms for more.
    std::string take(int wait_ms = 0);
    // True when the program has closed the latest connection (reads end of stream).
    bool closed_by_program(int wait_ms = 0);
    void close_connection();

   private:
    SocketsStarted sockets_;  // before the first socket, after the last
    void serve();
    int connection() const;

    std::string password_;
    std::string wrong_answer_;
    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> logins_;
    int connection_ = -1;
    bool peer_closed_ = false;
    std::vector<int> old_connections_;
    std::thread thread_;
};

// Bytes from a list of values, for the binary parts of command streams.
std::string bytes(std::initializer_list<int> values);
