// The link fuzz target's stand-in for hidapi (fake_hidapi.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fake_hid {

// The bytes the next reads hand out, and the device's report size (64 or 8).
void feed(const uint8_t* data, size_t size, int report_size);
bool exhausted();

}  // namespace fake_hid
