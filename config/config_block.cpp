#include "config/config_block.h"

#include <cstring>

#include "device/command_codes.h"
#include "device/device_link.h"

namespace {

constexpr int kReadAttempts = 10;
constexpr int kPollsPerReadAttempt = 10;
constexpr int kReadBackPolls = 50;

}  // namespace

bool read_config_block(DeviceLink& link, uint16_t address, uint8_t count) {
    const uint8_t request[2] = {static_cast<uint8_t>(address - kParameterWindowStart), count};
    for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
        link.send_command(command::kReadParameters, request, 2);
        // A reply for another block may still be on its way; it is not ours.
        const auto ours = [&](const DeviceReply& reply) {
            return reply.carries(2 + count) && reply.payload()[0] == request[0] &&
                   reply.payload()[1] == request[1];
        };
        if (link.await_reply(reply::kParameters, kPollsPerReadAttempt, ours))
            return true;
    }
    return false;
}

bool write_config_block(DeviceLink& link, uint8_t* buffer, uint16_t address, uint8_t count) {
    buffer[0] = static_cast<uint8_t>(address - kParameterWindowStart);
    buffer[1] = count;
    link.send_command(command::kWriteParameters, buffer, count + 2);
    // send_command drains whatever the device said to the write before the read-back goes out.
    link.send_command(command::kReadParameters, buffer, 2);
    // The first reply 6 decides; there is no second attempt.
    if (!link.await_reply(reply::kParameters, kReadBackPolls))
        return false;
    return link.reply().carries(count + 2) &&
           std::memcmp(link.reply().payload(), buffer, count + 2) == 0;
}
