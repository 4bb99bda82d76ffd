// The nine live status indicators of the configuration page.
#pragma once

#include <cstdint>

constexpr uint8_t kNoStatusBit = 255;
constexpr int kStatusIndicatorCount = 9;
constexpr int kSpeedIndicator = 4;  // its label shows the speed; no status bit

struct StatusIndicator {
    const char* label;
    uint32_t colour;  // 0xRRGGBB
    uint8_t byte_index;
    uint8_t bit;
};
// Nine indicators and an end record whose colour (black) is the labels' text colour.
extern const StatusIndicator StatusIndicatorTable[kStatusIndicatorCount + 1];
