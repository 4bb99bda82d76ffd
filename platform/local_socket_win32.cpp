#include "platform/local_socket.h"

// The remote-access server and its technician socket run on Linux; technicians on Windows
// reach it over SSH.
LocalSocket::~LocalSocket() = default;

void LocalSocket::close() {}

bool LocalSocket::connect(const std::string&, std::string& reason) {
    reason = "local sockets are not supported on this system";
    return false;
}

bool LocalSocket::send_all(const char*, size_t, int) {
    return false;
}

LocalRead LocalSocket::receive(std::string&, size_t, int) {
    return LocalRead::closed;
}
