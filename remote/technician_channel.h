// The technician's end of a remote-access session: the server's local technician socket,
// attached to the program that logged in with a code, then the relay records both ways.
#pragma once

#include <string>

#include "platform/local_socket.h"
#include "remote/relay_channel.h"

constexpr const char* kDefaultTechnicianSocket = "/run/qn718-relay/technician.sock";
// The server waits at most this long for the program to log in.
constexpr int kMaxAttachSeconds = 600;

// A code the request line can carry: printable, no spaces, at most 64 characters.
bool valid_session_code(const std::string& code);

struct AttachResult {
    enum class Outcome {
        attached,
        unreachable,  // the socket is missing, refuses or is not ours to use; text says why
        refused,      // the server answered "ERR"; text is its reason
        no_answer,    // the server closed or said something else; text is what came
    };
    Outcome outcome = Outcome::unreachable;
    std::string text;
};

class TechnicianChannel : public RelayChannel {
   public:
    // Connects and asks for the session of this code, waiting up to `seconds` for its program.
    AttachResult attach(const std::string& socket_path, const std::string& code, int seconds);

    bool send(const std::string& commands) override;
    ChannelRead receive(std::string& into, int timeout_ms) override;

   private:
    LocalSocket socket_;
    std::string early_;  // the program's bytes that came right behind the "OK" line
};
