#include "support/loopback_http_peer.h"

#ifdef _WIN32
#include <winsock2.h>

using socklen_t = int;
#define poll WSAPoll
#define close closesocket
#define accept4(listener, address, length, flags) accept(listener, address, length)
#define SOCK_CLOEXEC 0
#define MSG_NOSIGNAL 0
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <chrono>

namespace {

using Socket = decltype(socket(0, 0, 0));

constexpr int kAcceptLimitMs = 20000;
constexpr int kRequestLimitMs = 5000;

bool readable(Socket fd, int timeout_ms) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeout_ms) > 0;
}

std::string read_request(Socket fd) {
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
#ifdef _WIN32
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
#endif
    const Socket listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    listener_ = static_cast<intptr_t>(listener);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread(&LoopbackHttpPeer::serve, this, std::move(replies));
}

LoopbackHttpPeer::~LoopbackHttpPeer() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        close(static_cast<Socket>(listener_));
#ifdef _WIN32
    WSACleanup();
#endif
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
        const Socket listener = static_cast<Socket>(listener_);
        while (!stop_ && waited < kAcceptLimitMs && !readable(listener, 50))
            waited += 50;
        if (stop_ || waited >= kAcceptLimitMs)
            return;
        const Socket fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (static_cast<intptr_t>(fd) < 0)
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
        close(fd);
    }
}
