// The live read-out of the connected device: status bits and vehicle speed.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "device/status_indicators.h"

class DeviceLink;
struct DeviceReply;

// What one step found out; the window paints it.
struct LiveStatusUpdate {
    std::optional<std::string> speed_text;  // new text of the speed indicator
    // Whether each indicator is lit, after a fresh status-bits reply.
    std::optional<std::array<bool, kStatusIndicatorCount>> lit;
};

class LiveStatus {
   public:
    // One step per main-loop pass in the connected state. fresh is the reply the loop's own
    // poll just brought, or null when it brought none.
    LiveStatusUpdate step(DeviceLink& link, const DeviceReply* fresh);
    // A new page starts without a speed until the device says it has one.
    void reset() { speed_available_ = 0; }

   private:
    uint8_t pass_counter_ = 0;
    uint8_t speed_available_ = 0;
};

// "Speed (km/h): %d.%02d", hundredths cut toward zero; the sign stands before the whole.
std::string speed_label_text(float km_per_hour);
// Whether indicator bit (byte_index, bit) is set in a status payload.
bool status_bit_set(const uint8_t* payload, uint8_t byte_index, uint8_t bit);
