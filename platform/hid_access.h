// Why a USB HID device that is plugged in cannot be used: on Linux the hidraw node belongs to
// root unless a udev rule hands it to the user, and hidapi then reports the device as absent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct HidAccessProblem {
    std::string device_node;      // "/dev/hidraw3"
    bool rule_installed = false;  // a udev rule for the vendor exists, it just has not applied

    bool operator==(const HidAccessProblem& other) const {
        return device_node == other.device_node && rule_installed == other.rule_installed;
    }
    bool operator!=(const HidAccessProblem& other) const { return !(*this == other); }
};

// The first hidraw device of this vendor that the system lists but that this process may not
// open read-write; none when every such device opens (or there is none). root is where /sys,
// /dev, /etc, /run and /usr are found ("/" on a real system; tests use a folder of their own).
std::optional<HidAccessProblem> find_hid_access_problem(uint16_t vendor_id,
                                                        const std::string& root = "/");
