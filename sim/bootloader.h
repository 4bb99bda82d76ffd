// The QN718's USB HID bootloader as the host sees it: binary requests in, 64-byte replies out,
// flash contents kept, restart into the application when the valid marker is in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sim {

constexpr uint32_t kFlashBase = 0x1D000000;
constexpr size_t kFlashSize = 0x80000;

bool bootloader_enumerated();
// One output report (report id first).
void take_bootloader_report(const uint8_t* report, size_t length);
// hid_read_timeout on the bootloader: a reply when one is ready within the time-out.
int read_bootloader_report(uint8_t* data, size_t length, int timeout_ms);

// The application's command 0x10: it restarts into the bootloader.
void restart_into_bootloader();
// A device that left the bus to restart comes back once its time has come.
void settle_bus();
// The device is plugged in again after it vanished (sim_control.h's replug).
void power_on_again();

// The firmware number the application reports, taken from the flashed image: the text
// "QN718FW" followed by four decimal digits within its first 4 KiB. -1 when there is none.
int firmware_number_in_flash();

}  // namespace sim
