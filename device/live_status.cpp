#include "device/live_status.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "config/status_indicators.h"
#include "device/command_codes.h"
#include "device/link_compat.h"

namespace {

uint8_t g_pass_counter = 0;
uint8_t g_speed_available = 0;

float read_float_le(const uint8_t* bytes) {
    const uint32_t bits = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                          static_cast<uint32_t>(bytes[2]) << 16 |
                          static_cast<uint32_t>(bytes[3]) << 24;
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void request_status_bits() {
    send_command(command::kStatusBits);
    if (!await_reply(reply::kStatusBits, kUntilSilent))
        return;
    const uint8_t* status = device_reply().payload();
    for (int i = 0; i < kStatusIndicatorCount; ++i) {
        const StatusIndicator& indicator = StatusIndicatorTable[i];
        if (indicator.byte_index == kNoStatusBit)
            continue;
        paint_status_indicator(i, status_bit_set(status, indicator.byte_index, indicator.bit));
    }
}

}  // namespace

std::string speed_label_text(float km_per_hour) {
    // A garbled frame must not reach an undefined float-to-int conversion.
    const double scaled = static_cast<double>(km_per_hour) * 100.0;
    const int hundredths =
        std::isfinite(scaled) && std::fabs(scaled) < 1e9 ? static_cast<int>(scaled) : 0;
    char text[64];
    std::snprintf(text, sizeof text, "Speed (km/h): %d.%02d", hundredths / 100, hundredths % 100);
    return text;
}

bool status_bit_set(const uint8_t* payload, uint8_t byte_index, uint8_t bit) {
    return ((payload[byte_index] >> bit) & 1) != 0;
}

void clear_speed_available() {
    g_speed_available = 0;
}

void live_status_step() {
    const DeviceReply& reply = device_reply();
    if (reply.code() == reply::kSpeedAvailable) {
        g_speed_available = reply.payload()[0];
        if (g_speed_available == 0)
            set_speed_label(StatusIndicatorTable[kSpeedIndicator].label);
    }
    if (reply.code() == reply::kSpeed && g_speed_available != 0) {
        set_speed_label(speed_label_text(read_float_le(reply.payload())).c_str());
    }
    ++g_pass_counter;
    if ((g_pass_counter & 0x0F) == 3) {
        const uint8_t zero = 0;
        send_command(command::kSpeed, &zero, 1);
    }
    if ((g_pass_counter & 0x07) != 0)
        return;
    request_status_bits();
}
