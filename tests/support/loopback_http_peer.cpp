#include "support/loopback_http_peer.h"

#include "support/socket_shim.h"

#include <chrono>

namespace {

constexpr int kAcceptLimitMs = 20000;
constexpr int kRequestLimitMs = 5000;

bool readable(int fd, int timeout_ms) {
    pollfd p{};
    p.fd = fd;  // a SOCKET on Windows
    p.events = POLLIN;
    return poll(&p, 1, timeout_ms) > 0;
}

std::string read_request(int fd) {
    std::string request;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestLimitMs);
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 4096 &&
           std::chrono::steady_clock::now() < end) {
        if (!readable(fd, 50))
            continue;
        char buffer[512];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        request.append(buffer, static_cast<size_t>(n));
    }
    return request;
}

}  // namespace

std::string http_response(const std::string& body, const std::string& status) {
    return status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

LoopbackHttpPeer::LoopbackHttpPeer(std::vector<PeerReply> replies) {
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
    thread_ = std::thread(&LoopbackHttpPeer::serve, this, std::move(replies));
}

LoopbackHttpPeer::~LoopbackHttpPeer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close_socket(listener_);
}

std::string LoopbackHttpPeer::address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> LoopbackHttpPeer::requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackHttpPeer::serve(std::vector<PeerReply> replies) {
    for (const PeerReply& reply : replies) {
        int waited = 0;
        while (!stop_ && waited < kAcceptLimitMs && !readable(listener_, 50))
            waited += 50;
        if (stop_ || waited >= kAcceptLimitMs)
            return;
        const int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const std::string request = read_request(fd);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        for (size_t i = 0; i < reply.parts.size() && !stop_; ++i) {
            if (i > 0 && reply.pause_ms > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.pause_ms));
            send(fd, reply.parts[i].data(), reply.parts[i].size(), MSG_NOSIGNAL);
        }
        close_socket(fd);
    }
}
