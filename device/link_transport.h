// Another way to the device than the local USB: the link's frame-level calls go through it
// when one is set, so every device operation runs over it unchanged.
#pragma once

#include <cstdint>
#include <string>

struct DeviceReply;
enum class OpenResult;
enum class DeviceKind : int32_t;

enum class TransportPoll {
    reply,    // a new, valid reply frame was written
    nothing,  // the device has nothing waiting
    failed,   // the way to the device is lost; failure() says why
};

class LinkTransport {
   public:
    virtual ~LinkTransport() = default;
    virtual OpenResult open() = 0;
    // Forgets the device; the far side keeps it for the next open.
    virtual void close() = 0;
    virtual DeviceKind kind() const = 0;
    // False when the frame did not go out (the transport is then lost).
    virtual bool send_frame(uint8_t code, const uint8_t* payload, int count) = 0;
    // The next reply the device sent, log lines included.
    virtual TransportPoll next_reply(DeviceReply& reply) = 0;
    virtual std::string failure() const = 0;
};
