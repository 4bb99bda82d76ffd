// Moving bytes of the device's parameter memory (window 0x200-0x3FF) over the HID link.
// Addresses travel as one byte, address - 0x200, followed by a byte count.
#pragma once

#include <cstdint>

class DeviceLink;

constexpr uint16_t kParameterWindowStart = 0x200;
constexpr uint16_t kParameterWindowEnd = 0x3FF;
constexpr uint16_t kConfigBlockAddress = 0x201;

// True when a reply 6 for exactly this offset and count arrived; its data bytes then stand in
// link.reply() from payload byte 2 on.
bool read_config_block(DeviceLink& link, uint16_t address, uint8_t count);

// buffer holds count + 2 bytes with the data from byte 2 on; bytes 0-1 are filled here.
// True when the device's read-back repeats offset, count and data exactly.
bool write_config_block(DeviceLink& link, uint8_t* buffer, uint16_t address, uint8_t count);
