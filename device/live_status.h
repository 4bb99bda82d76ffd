// The live read-out of the connected device: status bits and vehicle speed.
#pragma once

#include <cstdint>
#include <string>

// One step per main-loop pass in the connected state, right after the loop's own poll.
void live_status_step();

// The speed is shown only after the device said it has one; a new page starts without.
void clear_speed_available();

// "Speed (km/h): %d.%02d", hundredths cut toward zero.
std::string speed_label_text(float km_per_hour);
// Whether indicator bit (byte_index, bit) is set in a status payload.
bool status_bit_set(const uint8_t* payload, uint8_t byte_index, uint8_t bit);
