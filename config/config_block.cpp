#include "config/config_block.h"

#include <cstring>

#include "device/command_codes.h"
#include "device/link_compat.h"

namespace {

constexpr int kReadAttempts = 10;
constexpr int kPollsPerReadAttempt = 10;
constexpr int kReadBackPolls = 50;

// Payload bytes of the reply in device_reply(): the code byte and checksum are not counted.
int reply_payload_length() {
    return device_reply().reply_length - 3;
}

}  // namespace

bool read_config_block(uint16_t address, uint8_t count) {
    const uint8_t request[2] = {static_cast<uint8_t>(address - kParameterWindowStart), count};
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        send_command(command::kReadParameters, request, 2);
        // A reply for another block may still be on its way; it is not ours.
        const auto ours = [&](const DeviceReply& reply) {
            return reply_payload_length() >= 2 + count && reply.payload()[0] == request[0] &&
                   reply.payload()[1] == request[1];
        };
        if (await_reply(reply::kParameters, kPollsPerReadAttempt, ours))
            return true;
    }
    return false;
}

bool write_config_block(uint8_t* buffer, uint16_t address, uint8_t count) {
    buffer[0] = static_cast<uint8_t>(address - kParameterWindowStart);
    buffer[1] = count;
    send_command(command::kWriteParameters, buffer, count + 2);
    // send_command drains whatever the device said to the write before the read-back goes out.
    send_command(command::kReadParameters, buffer, 2);
    // The first reply 6 decides; there is no second attempt.
    if (!await_reply(reply::kParameters, kReadBackPolls))
        return false;
    return reply_payload_length() >= count + 2 &&
           std::memcmp(device_reply().payload(), buffer, count + 2) == 0;
}
