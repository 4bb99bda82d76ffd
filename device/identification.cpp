#include "device/identification.h"

#include <cstdio>

#include "device/command_codes.h"
#include "device/device_link.h"

namespace {

constexpr int kSubVersionPolls = 99;

}  // namespace

std::string DeviceIdentity::name() const {
    char text[32];
    std::snprintf(text, sizeof text, "QN%d-%02d%02d", type_code, firmware_high, firmware_low);
    return text;
}

std::optional<DeviceIdentity> decode_identity(const DeviceReply& reply) {
    if (!reply.carries(4))
        return std::nullopt;
    const uint8_t* bytes = reply.payload();
    DeviceIdentity identity;
    identity.type_code = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    identity.firmware_high = bytes[2];
    identity.firmware_low = bytes[3];
    return identity;
}

bool is_greeting_answer(const DeviceReply& reply) {
    return reply.code() == reply::kGreeting && reply.carries(2) && reply.payload()[0] == 2 &&
           reply.payload()[1] == 1;
}

std::optional<SubVersion> query_sub_version(DeviceLink& link) {
    link.send_command(command::kSubVersion);
    const auto carries_both = [](const DeviceReply& reply) { return reply.carries(2); };
    if (!link.await_reply(reply::kDone, kSubVersionPolls, carries_both))
        return std::nullopt;
    return SubVersion{link.reply().payload()[0], link.reply().payload()[1]};
}

Identification identify_device(DeviceLink& link, const DeviceIdentity& identity,
                               bool hidden_switch) {
    Identification result;
    result.identity = identity;
    result.sub_version = query_sub_version(link);
    if (!identity.compatible()) {
        result.outcome = IdentifyOutcome::incompatible;
        return result;
    }
    if (!result.sub_version && !hidden_switch) {
        result.outcome = IdentifyOutcome::unconfirmed;
        return result;
    }
    const uint32_t firmware = identity.firmware_number();
    if (firmware == 20 || firmware == 21)
        result.old_firmware_warning = true;
    else
        result.speed_signal = check_speed_signal(link);
    result.outcome = IdentifyOutcome::connected;
    return result;
}
