// Deciding whether the program can work with the device that has just announced itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "device/speed_signal.h"

class DeviceLink;
struct DeviceReply;

constexpr uint16_t kQn718TypeCode = 718;

// The identity reply (code 8): type code little-endian, firmware high byte, low byte.
struct DeviceIdentity {
    uint16_t type_code = 0;
    uint8_t firmware_high = 0;
    uint8_t firmware_low = 0;

    uint32_t firmware_number() const {
        return static_cast<uint32_t>(firmware_high << 8 | firmware_low);
    }
    bool compatible() const { return type_code == kQn718TypeCode; }
    // "QN718-0022": the status label of a connected device.
    std::string name() const;
};
// None when the reply is too short to carry an identity.
std::optional<DeviceIdentity> decode_identity(const DeviceReply& reply);
// Reply 7 with 2, 1: the device took command 1 and now answers command 4 with its identity.
bool is_greeting_answer(const DeviceReply& reply);

struct SubVersion {
    uint8_t a = 0;
    uint8_t b = 0;
};
// Command 0xF4; none when no answer came within 99 polls.
std::optional<SubVersion> query_sub_version(DeviceLink& link);

enum class IdentifyOutcome {
    connected,     // the page can be built
    incompatible,  // another device type: the incompatible-firmware window
    unconfirmed,   // the sub-version never came (and no hidden switch): greet again
};

struct Identification {
    IdentifyOutcome outcome = IdentifyOutcome::unconfirmed;
    DeviceIdentity identity;
    std::optional<SubVersion> sub_version;  // when the device answered this time
    // Connected only: firmware 20 and 21 draw a warning instead of the speed-signal check.
    bool old_firmware_warning = false;
    SpeedSignal speed_signal = SpeedSignal::present;
};

// Everything that follows the identity reply: the sub-version query, then for a compatible
// device the firmware warning or the speed-signal check. The caller shows the outcome.
Identification identify_device(DeviceLink& link, const DeviceIdentity& identity,
                               bool hidden_switch);
