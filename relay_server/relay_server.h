// qn718-relay's server: programs log in over TCP with a one-time code, technicians create codes
// and attach to sessions over a local Unix socket, and the records a technician sends reach the
// program while the program's answers flow back unchanged. One thread, one epoll loop (Linux);
// every buffer, queue, wait and table has a bound.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace relay_server {

struct RelayServerOptions {
    std::string listen_address = "0.0.0.0";
    uint16_t port = 55555;  // 0: any free port (see RelayServer::port)
    std::string technician_socket = "/run/qn718-relay/technician.sock";
    size_t max_sessions = 1000;
    // Where log lines go (one line each, no LF); codes and passwords never reach it.
    std::function<void(const std::string&)> log;
    // The time the server goes by; a replacement lets a caller move it on.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

class RelayServer {
   public:
    explicit RelayServer(RelayServerOptions options);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // Opens both sockets; false with a reason when either cannot be had.
    bool start(std::string& error);
    uint16_t port() const;
    // Serves until stop() is called (from any thread or a signal's waiter).
    void run();
    void stop();

   private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace relay_server
