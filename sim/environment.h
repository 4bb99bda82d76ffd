// The demo executable takes its device from environment variables (see sim/README.md).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sim/sim_control.h"

namespace sim {

struct DemoSettings {
    bool plugged = true;
    Product product = Product::programmer_long;
    uint16_t type_code = 0;
    uint16_t firmware_number = 0;
    uint8_t sub_version_a = 0;
    uint8_t sub_version_b = 0;
    bool sub_version_silent = false;
    std::string status_sequence;
    std::string memory_file;
    std::string trace_file;
    bool live_motion = true;
    bool log_lines = false;
};

// Returns the variable's value, or nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

// Unset or unreadable values keep the demo's defaults: a healthy QN718 whose memory is kept
// in "$HOME/.qn718-sim-memory", moving live values, no log lines.
DemoSettings read_demo_settings(const EnvironmentLookup& lookup);

// Real time-outs and the settings on top of a freshly reset device.
void apply_demo_settings(const DemoSettings& settings);

// The first hid_init of a process takes the settings from the process environment, unless a
// test has reset the simulator before.
void apply_environment_once();
void forgo_environment();

}  // namespace sim
