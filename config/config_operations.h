// The four operations that move the configuration block between the device and the page:
// read, write with read-back verification, factory defaults and speedometer calibration.
// Each reports to the user through the page and returns true on success.
#pragma once

#include <functional>

#include "config/config_record.h"

class ConfigPageAccess;
class DeviceLink;

enum class LoadKind {
    from_device,  // button "Load": read and report
    defaults,     // button "Default settings": nothing is sent
    silently,     // after identification: read without a success message
};

bool load_configuration(DeviceLink& link, ConfigPageAccess& page, LoadKind kind);
// Given the block a device holds right before it is overwritten; false stops the write (the
// keeper has told the user why).
using KeepHeldBlock = std::function<bool(const ConfigBlock& held)>;

// Every write of the whole block goes through here: the block is read from the device once
// more and handed to keep_held (the configuration history), then the page's values are written.
bool save_configuration(DeviceLink& link, ConfigPageAccess& page, const KeepHeldBlock& keep_held);
bool calibrate_speedometer(DeviceLink& link, ConfigPageAccess& page);
