#include "platform/tcp_client.h"

// Ownership of the socket is the same on every system; opening, waiting and closing are not.

TcpClient::~TcpClient() {
    close();
}

TcpClient::TcpClient(TcpClient&& other) noexcept : handle_(other.handle_) {
    other.handle_ = kNoSocket;
}

TcpClient& TcpClient::operator=(TcpClient&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = kNoSocket;
    }
    return *this;
}
