// The four operations that move the configuration block between the device and the page:
// read, write with read-back verification, factory defaults and speedometer calibration.
// Each reports to the user through the page and returns true on success.
#pragma once

class ConfigPageAccess;
class DeviceLink;

enum class LoadKind {
    from_device,  // button "Load": read and report
    defaults,     // button "Default settings": nothing is sent
    silently,     // after identification: read without a success message
};

bool load_configuration(DeviceLink& link, ConfigPageAccess& page, LoadKind kind);
bool save_configuration(DeviceLink& link, ConfigPageAccess& page);
bool calibrate_speedometer(DeviceLink& link, ConfigPageAccess& page);
