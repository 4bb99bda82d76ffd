// The demo's vehicle: a car that drives off, cruises, stops and now and then backs up.
#pragma once

#include <cstdint>

namespace sim {

struct LiveValues {
    uint8_t status_bits = 0;
    float speed = 0.0f;  // km/h
};

// Values elapsed_ms after the motion began. prog_output_choice is the configured meaning of
// output J1-4 (0 disabled, 1 ignition, 2 reverse gear), which the output bit follows.
LiveValues live_values_at(int64_t elapsed_ms, uint8_t prog_output_choice);

}  // namespace sim
