// One open USB HID device, owned: closed when its owner lets it go. Only device/ calls
// hidapi; the link reads and writes its reports through this type, and the bootloader
// transfers (the flasher's, the relay's raw commands) go through it as raw reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct hid_device_;

// hidapi's start (false when it failed) and end, once for the whole program. The start also
// reads the simulated device's settings.
bool start_hidapi();
void end_hidapi();

class HidPort {
   public:
    HidPort() = default;
    // The first device with this vendor and product; an unopened port when there is none.
    static HidPort open(uint16_t vendor_id, uint16_t product_id);

    ~HidPort();
    HidPort(HidPort&& other) noexcept;
    HidPort& operator=(HidPort&& other) noexcept;
    HidPort(const HidPort&) = delete;
    HidPort& operator=(const HidPort&) = delete;

    bool is_open() const { return device_ != nullptr; }
    void close();

    // One output report, its report id first: the bytes written, or -1 (also when closed).
    int raw_write(const uint8_t* bytes, size_t size);
    // Waits at most timeout_ms for one input report: the bytes read, 0 when none came in time,
    // -1 on a failure. Every wait has an end: a negative timeout is refused with -1.
    int raw_read(uint8_t* buffer, size_t size, int timeout_ms);
    // Reads wait for their report (the bootloader's transfers depend on it).
    void set_blocking();

    // The product string ("" when the device gives none).
    std::string product() const;
    // hidapi's text for the last failure on this device ("" when it has none).
    std::string error_text() const;

   private:
    explicit HidPort(hid_device_* device) : device_(device) {}
    hid_device_* device_ = nullptr;
};
