#include "device/hid_port.h"

#include <hidapi.h>

#include <cwchar>
#include <utility>

bool start_hidapi() {
    return hid_init() == 0;
}

void end_hidapi() {
    hid_exit();
}

HidPort HidPort::open(uint16_t vendor_id, uint16_t product_id) {
    return HidPort(hid_open(vendor_id, product_id, nullptr));
}

HidPort::~HidPort() {
    close();
}

HidPort::HidPort(HidPort&& other) noexcept : device_(std::exchange(other.device_, nullptr)) {}

HidPort& HidPort::operator=(HidPort&& other) noexcept {
    if (this != &other) {
        close();
        device_ = std::exchange(other.device_, nullptr);
    }
    return *this;
}

void HidPort::close() {
    if (device_)
        hid_close(std::exchange(device_, nullptr));
}

int HidPort::raw_write(const uint8_t* bytes, size_t size) {
    if (!device_)
        return -1;
    return hid_write(device_, bytes, size);
}

int HidPort::raw_read(uint8_t* buffer, size_t size, int timeout_ms) {
    if (!device_ || timeout_ms < 0)
        return -1;
    return hid_read_timeout(device_, buffer, size, timeout_ms);
}

void HidPort::set_blocking() {
    if (device_)
        hid_set_nonblocking(device_, 0);
}

std::string HidPort::product() const {
    std::string text;
    if (!device_)
        return text;
    wchar_t wide[128] = {};
    if (hid_get_product_string(device_, wide, 128) == 0) {
        for (size_t i = 0; i < 128 && wide[i] != 0; ++i)
            text.push_back(static_cast<char>(wide[i] & 0xFF));
    }
    return text;
}

std::string HidPort::error_text() const {
    std::string text;
    const wchar_t* wide = device_ ? hid_error(device_) : nullptr;
    for (size_t i = 0; wide && wide[i] != 0 && i < 256; ++i)
        text.push_back(static_cast<char>(wide[i] & 0x7F));
    return text;
}
