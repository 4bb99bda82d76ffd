#include "support/loopback_http_peer.h"

#include <chrono>

std::string http_response(const std::string& body, const std::string& status) {
    return status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

LoopbackHttpPeer::LoopbackHttpPeer(std::vector<PeerReply> replies) {
    listener_ = listen_on_loopback(port_);
    if (port_ != 0)
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
        while (!stop_ && waited < 20000 && !readable(listener_, 50))
            waited += 50;
        const int fd =
            stop_ || waited >= 20000 ? -1 : accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        const std::string request = read_until(fd, "\r\n\r\n", 4096, 5000, stop_);
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
