// A scripted HTTP/1.0 server on 127.0.0.1 for the update check: it takes one connection per
// reply, records the request and sends the reply's parts with a pause between them. Every
// loop is bounded in time, so a test that goes wrong ends instead of hanging.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/socket_shim.h"

struct PeerReply {
    std::vector<std::string> parts;  // sent in order, each with its own send
    int pause_ms = 0;                // between parts
};

class LoopbackHttpPeer {
   public:
    explicit LoopbackHttpPeer(std::vector<PeerReply> replies);
    ~LoopbackHttpPeer();
    LoopbackHttpPeer(const LoopbackHttpPeer&) = delete;
    LoopbackHttpPeer& operator=(const LoopbackHttpPeer&) = delete;

    // "127.0.0.1:PORT", for QN718_UPDATE_SERVER.
    std::string address() const;
    uint16_t port() const { return port_; }
    // Requests received so far, one per connection.
    std::vector<std::string> requests() const;

   private:
    SocketsStarted sockets_;  // before the first socket, after the last
    void serve(std::vector<PeerReply> replies);

    int listener_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A response with a Content-Length line for the body.
std::string http_response(const std::string& body, const std::string& status = "HTTP/1.0 200 OK");
