// The technician's side of the control requests: one request line to the server's Unix socket
// and the lines it answers.
#pragma once

#include <string>
#include <vector>

namespace relay_server {

constexpr const char* kDefaultTechnicianSocket = "/run/qn718-relay/technician.sock";
constexpr const char* kTechnicianSocketVariable = "QN718_RELAY_SOCKET";

struct ControlAnswer {
    bool reached = false;  // false: the socket could not be reached (error says why)
    std::string error;
    std::vector<std::string> lines;  // without their LFs
};

// Sends the line (LF added) and reads the answer until the server closes the connection, for
// at most timeout_ms.
ControlAnswer ask_relay(const std::string& socket_path, const std::string& request,
                        int timeout_ms = 5000);

}  // namespace relay_server
