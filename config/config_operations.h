// The operations that move the configuration block between the device and a record: read,
// write with read-back verification, and speedometer calibration. Each returns what happened;
// the words for it are config_messages.h's, so the window and the tool say the same.
#pragma once

#include <functional>
#include <optional>

#include "config/config_record.h"

class DeviceLink;

// The block the device holds; none when it did not give it.
std::optional<ConfigRecord> load_configuration(DeviceLink& link);
// "Default settings": nothing is sent.
ConfigRecord default_configuration();

enum class SaveOutcome {
    saved,
    saved_without_speed_signal,  // written and in use, but the device reads no CAN speed
    bad_level,                   // the record's level is one the device must not get
    held_block_unread,           // the block about to be overwritten could not be read
    history_not_kept,            // the keeper refused; it has told the user why
    not_verified,                // the read-back did not repeat the block
    store_not_sent,              // verified, but the command that puts it into use never went out
};

inline bool saved(SaveOutcome outcome) {
    return outcome == SaveOutcome::saved || outcome == SaveOutcome::saved_without_speed_signal;
}

// Given the block a device holds right before it is overwritten; false stops the write.
using KeepHeldBlock = std::function<bool(const ConfigBlock& held)>;

// Every write of the whole block goes through here: the block is read from the device once
// more and handed to keep_held (the configuration history), then the record is written.
SaveOutcome save_configuration(DeviceLink& link, const ConfigRecord& record,
                               const KeepHeldBlock& keep_held);

enum class CalibrationOutcome {
    calibrated,
    not_finished,  // the device never announced the end of a measurement
    scale_unread,  // it did, but the new scale could not be read
};

struct CalibrationResult {
    CalibrationOutcome outcome = CalibrationOutcome::not_finished;
    uint8_t scale = 0;  // the speedometer scale the device measured, when calibrated
};

// The device measures the speedometer scale and keeps it; only the scale is read back.
CalibrationResult calibrate_speedometer(DeviceLink& link);
