#include "device/live_status.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "device/command_codes.h"
#include "device/device_link.h"

namespace {

constexpr int kStatusBytes = 1;
constexpr int kSpeedBytes = 4;

float read_float_le(const uint8_t* bytes) {
    const uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                          static_cast<uint32_t>(bytes[2]) << 16 |
                          static_cast<uint32_t>(bytes[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::optional<std::array<bool, kStatusIndicatorCount>> request_status_bits(DeviceLink& link) {
    link.send_command(command::kStatusBits);
    const auto carries_bits = [](const DeviceReply& reply) { return reply.carries(kStatusBytes); };
    if (!link.await_reply(reply::kStatusBits, DeviceLink::kUntilSilent, carries_bits))
        return std::nullopt;
    std::array<bool, kStatusIndicatorCount> lit{};
    for (int i = 0; i < kStatusIndicatorCount; ++i) {
        const StatusIndicator& indicator = StatusIndicatorTable[i];
        if (indicator.byte_index != kNoStatusBit)
            lit[i] = status_bit_set(link.reply().payload(), indicator.byte_index, indicator.bit);
    }
    return lit;
}

}  // namespace

std::string speed_label_text(float km_per_hour) {
    // A garbled frame must not reach an undefined float-to-int conversion.
    const double scaled = static_cast<double>(km_per_hour) * 100.0;
    const int hundredths =
        std::isfinite(scaled) && std::fabs(scaled) < 1e9 ? static_cast<int>(scaled) : 0;
    char text[64];
    std::snprintf(text, sizeof text, "Speed (km/h): %s%d.%02d", hundredths < 0 ? "-" : "",
                  std::abs(hundredths) / 100, std::abs(hundredths) % 100);
    return text;
}

bool status_bit_set(const uint8_t* payload, uint8_t byte_index, uint8_t bit) {
    return ((payload[byte_index] >> bit) & 1) != 0;
}

LiveStatusUpdate LiveStatus::step(DeviceLink& link, const DeviceReply* fresh) {
    LiveStatusUpdate update;
    if (fresh && fresh->code() == reply::kSpeedAvailable && fresh->carries(1)) {
        speed_available_ = fresh->payload()[0];
        if (speed_available_ == 0)
            update.speed_text = StatusIndicatorTable[kSpeedIndicator].label;
    }
    if (fresh && fresh->code() == reply::kSpeed && fresh->carries(kSpeedBytes) &&
        speed_available_ != 0) {
        update.speed_text = speed_label_text(read_float_le(fresh->payload()));
    }
    ++pass_counter_;
    if ((pass_counter_ & 0x0F) == 3) {
        const uint8_t zero = 0;
        link.send_command(command::kSpeed, &zero, 1);
    }
    if ((pass_counter_ & 0x07) == 0)
        update.lit = request_status_bits(link);
    return update;
}
