// The configuration values last taken over from the device, the defaults or a file, or last
// written: the page draws every field that differs from its reference value in red.
#pragma once

#include <array>
#include <cstdint>

#include "config/config_record.h"

struct ConfigReference {
    int32_t level = 0;
    std::array<int32_t, kChoiceFieldCount> choices{};
    // The car number has no reference: it always comes from the vehicle selection.
};
