#include "relay_server/technician_client.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace relay_server {

namespace {

constexpr size_t kMaxAnswer = 1 << 20;

struct Socket {
    int fd = -1;
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
};

}  // namespace

ControlAnswer ask_relay(const std::string& socket_path, const std::string& request,
                        int timeout_ms) {
    ControlAnswer answer;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path.empty() || socket_path.size() >= sizeof address.sun_path) {
        answer.error = "the socket path is empty or too long: " + socket_path;
        return answer;
    }
    std::memcpy(address.sun_path, socket_path.c_str(), socket_path.size() + 1);
    Socket socket;
    socket.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket.fd < 0 ||
        ::connect(socket.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        answer.error = "cannot reach the relay at " + socket_path + ": " + std::strerror(errno);
        return answer;
    }
    const std::string line = request + "\n";
    if (::send(socket.fd, line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size())) {
        answer.error = "cannot send to the relay: " + std::string(std::strerror(errno));
        return answer;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    std::string received;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd polled{socket.fd, POLLIN, 0};
        if (left <= 0 || ::poll(&polled, 1, static_cast<int>(left)) <= 0) {
            answer.error = "the relay did not answer in time";
            return answer;
        }
        char buffer[4096];
        const ssize_t n = ::recv(socket.fd, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        received.append(buffer, static_cast<size_t>(n));
        if (received.size() > kMaxAnswer) {
            answer.error = "the relay's answer is too long";
            return answer;
        }
    }
    answer.reached = true;
    size_t start = 0;
    for (size_t end; (end = received.find('\n', start)) != std::string::npos; start = end + 1)
        answer.lines.push_back(received.substr(start, end - start));
    if (start < received.size())
        answer.lines.push_back(received.substr(start));
    return answer;
}

}  // namespace relay_server
