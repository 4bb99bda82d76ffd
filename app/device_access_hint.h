// What the window and standard error say about a QN718 that is plugged in but cannot be opened.
#pragma once

#include <string>

#include "platform/hid_access.h"

struct DeviceAccessHint {
    std::string status;   // short, for the status label
    std::string details;  // what is wrong and, on its own last line, the command that fixes it
};

// In the language given (an index of LanguageList); the command itself is the same in every
// language.
DeviceAccessHint device_access_hint(const HidAccessProblem& problem, int language);

// Writes a rule that gives the user at the seat the device (udev applies it on the next plug).
constexpr const char* kInstallRuleCommand =
    "echo 'KERNEL==\"hidraw*\", ATTRS{idVendor}==\"12aa\", TAG+=\"uaccess\"' | "
    "sudo tee /etc/udev/rules.d/70-qn718.rules";
// Runs the installed rules again for devices that were plugged in before the rule came.
constexpr const char* kApplyRuleCommand =
    "sudo udevadm trigger --subsystem-match=hidraw --action=change";
