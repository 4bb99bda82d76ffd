// Serial ports that belong to a given USB device (vendor and product id), found in the
// system's device tree. The tree's root is a parameter so that tests can build a fake one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr const char* kSystemDeviceTreeRoot = "/sys";

struct UsbSerialDevice {
    std::string usb_name;  // the device's name in the tree ("1-1.4")
    std::string tty;       // its serial port's device name ("ttyACM0"); "" when no driver made one
};

// Every USB device with these ids, in name order, with the serial port of its first interface
// that has one.
std::vector<UsbSerialDevice> find_usb_serial_devices(
    uint16_t vendor_id, uint16_t product_id, const std::string& root = kSystemDeviceTreeRoot);
