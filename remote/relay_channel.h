// The technician's connection to one program through the remote-access server: records of
// whole relay commands out, the program's bytes in. Every wait is bounded.
#pragma once

#include <string>

enum class ChannelRead {
    data,       // bytes were appended
    timed_out,  // nothing arrived in time
    closed,     // the connection is gone (the program left, or the server ended the session)
};

class RelayChannel {
   public:
    virtual ~RelayChannel() = default;
    // One record: whole commands, at most relay_client::kMaxTechnicianRecord bytes, which
    // reach the program in one piece. False when the connection is gone.
    virtual bool send(const std::string& commands) = 0;
    // Appends what the program sent within timeout_ms.
    virtual ChannelRead receive(std::string& into, int timeout_ms) = 0;
};
