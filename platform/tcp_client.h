// TCP client connections for the program's servers: IPv4 name resolution, and a connection
// whose every wait has a time limit, so that a silent server never freezes the window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct Ipv4Address {
    uint32_t network_order = 0;
};

// Called between the slices of a long wait, so that the window keeps painting.
using WaitServe = std::function<void()>;
// The slice of every wait that serves the window meanwhile.
constexpr int kWaitSliceMs = 50;

enum class Resolution { found, not_found, timed_out };

// The first IPv4 address of a host name or dotted quad. The system's resolver has no time
// limit, so it asks on a short-lived helper thread and stops waiting after timeout_ms (the
// thread ends on its own when the resolver gives up; its answer is then dropped).
Resolution resolve_ipv4(const std::string& host, Ipv4Address& address, int timeout_ms,
                        const WaitServe& meanwhile = {});
// The system's resolver itself: blocks for as long as it takes.
bool lookup_ipv4(const std::string& host, Ipv4Address& address);

enum class SocketWait { ready, timed_out, failed };

// One client connection. Closed on destruction; movable, not copyable.
class TcpClient {
   public:
    TcpClient() = default;
    ~TcpClient();
    TcpClient(const TcpClient&) = delete;
    TcpClient& operator=(const TcpClient&) = delete;
    TcpClient(TcpClient&& other) noexcept;
    TcpClient& operator=(TcpClient&& other) noexcept;

    // Creates the socket; false when the system refuses one.
    bool open();
    bool is_open() const { return handle_ != kNoSocket; }
    // Small messages go out at once instead of waiting to be joined with later ones.
    void send_without_delay();
    // Starts connecting without blocking; false when refused at once.
    bool start_connect(const Ipv4Address& address, uint16_t port);
    // ready: connected; failed: refused or unreachable.
    SocketWait wait_connected(int timeout_ms);
    // Sends as much as the peer takes within the time limit, which bounds the whole send, not
    // each wait; returns the bytes sent. meanwhile is called between slices of the waits.
    size_t send_all(const char* data, size_t size, int timeout_ms, const WaitServe& meanwhile = {});
    SocketWait wait_readable(int timeout_ms);
    SocketWait wait_writable(int timeout_ms);
    // Bytes received (at most size), 0 when the peer closed the connection, -1 on error.
    long receive(char* buffer, size_t size);
    void close();

   private:
    // Room for a Win32 SOCKET, which is wider than an int.
    static constexpr intptr_t kNoSocket = -1;
    intptr_t handle_ = kNoSocket;
};
