#include "config/config_operations.h"

#include <algorithm>

#include "config/config_block.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "device/speed_signal.h"

namespace {

constexpr int kCalibrationRounds = 10;
// The speedometer scale is block byte 7; calibration reads only the bytes up to the output.
constexpr uint8_t kCalibrationReadCount = 9;

constexpr int kStoreSettleMs = 100;

// The block as the device answered it: data from reply payload byte 2 on.
const uint8_t* reply_block(const DeviceLink& link) {
    return link.reply().payload() + 2;
}

std::optional<ConfigBlock> read_held_block(DeviceLink& link) {
    if (!read_config_block(link, kConfigBlockAddress, kConfigRecordSize))
        return std::nullopt;
    ConfigBlock block;
    std::copy(reply_block(link), reply_block(link) + kConfigRecordSize, block.begin());
    return block;
}

}  // namespace

std::optional<ConfigRecord> load_configuration(DeviceLink& link) {
    const std::optional<ConfigBlock> block = read_held_block(link);
    if (!block)
        return std::nullopt;
    return decode_config_record(block->data());
}

ConfigRecord default_configuration() {
    return decode_config_record(kDefaultConfigBlock.data());
}

SaveOutcome save_configuration(DeviceLink& link, const ConfigRecord& record,
                               const KeepHeldBlock& keep_held) {
    if (!can_level_allowed(record.can_level))
        return SaveOutcome::bad_level;
    // The record may come from a file, the defaults or an earlier write, so what the device
    // holds is asked for again: that is what this write overwrites.
    const std::optional<ConfigBlock> held = read_held_block(link);
    if (!held)
        return SaveOutcome::held_block_unread;
    if (!keep_held(*held))
        return SaveOutcome::history_not_kept;

    const ConfigBlock block = encode_config_record(record);
    uint8_t buffer[kConfigRecordSize + 2];
    std::copy(block.begin(), block.end(), buffer + 2);
    if (!write_config_block(link, buffer, kConfigBlockAddress, kConfigRecordSize))
        return SaveOutcome::not_verified;
    if (!link.send_command(command::kStore))
        return SaveOutcome::store_not_sent;
    link.pause(kStoreSettleMs);
    return query_speed_signal(link) == SpeedSignal::absent ? SaveOutcome::saved_without_speed_signal
                                                           : SaveOutcome::saved;
}

CalibrationResult calibrate_speedometer(DeviceLink& link) {
    for (int round = 0; round < kCalibrationRounds; ++round) {
        // A device that takes several polls to measure announces the end while the next
        // round's command drains the link: that announcement counts too.
        bool finished = link.drain_noting(reply::kDone);
        if (!finished) {
            link.send_frame(command::kCalibrate);
            finished = link.await_reply(reply::kDone, DeviceLink::kUntilSilent);
        }
        if (!finished)
            continue;
        if (!read_config_block(link, kConfigBlockAddress, kCalibrationReadCount))
            return {CalibrationOutcome::scale_unread, 0};
        return {CalibrationOutcome::calibrated, reply_block(link)[1 + kSpeedometerScale]};
    }
    return {CalibrationOutcome::not_finished, 0};
}
