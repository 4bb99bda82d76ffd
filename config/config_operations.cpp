#include "config/config_operations.h"

#include <algorithm>
#include <string>

#include "config/config_block.h"
#include "config/config_page_access.h"
#include "config/config_record.h"
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

void apply_block(ConfigPageAccess& page, const uint8_t* block) {
    const ConfigRecord record = decode_config_record(block);
    ConfigReference& reference = page.reference();
    reference.level = record.can_level;
    const std::string level_text = std::to_string(record.can_level);
    page.set_level_text(level_text);
    page.select_vehicle(record.can_level, record.car_number, true);
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        const auto field = static_cast<ChoiceField>(i);
        reference.choices[i] = record.choices[i];
        page.set_choice_index(field, record.choices[i]);
    }
}

}  // namespace

bool load_configuration(DeviceLink& link, ConfigPageAccess& page, LoadKind kind) {
    if (kind == LoadKind::defaults) {
        apply_block(page, kDefaultConfigBlock.data());
    } else {
        if (!read_config_block(link, kConfigBlockAddress, kConfigRecordSize)) {
            page.show_message_entry(Text::config_load_error);
            return false;
        }
        // Copied out of the link's reply before the page's handlers run.
        ConfigBlock block;
        std::copy(reply_block(link), reply_block(link) + kConfigRecordSize, block.begin());
        apply_block(page, block.data());
    }
    if (kind == LoadKind::from_device)
        page.show_message_entry(Text::config_loaded);
    if (kind == LoadKind::defaults)
        page.show_message_entry(Text::defaults_loaded);
    page.clear_save_mark();
    return true;
}

bool save_configuration(DeviceLink& link, ConfigPageAccess& page, const KeepHeldBlock& keep_held) {
    ConfigRecord record;
    // Taken before the level handler below can move the selection.
    const int32_t car_number = page.selected_car_number();
    if (!parse_can_level_text(page.level_text(), &record.can_level)) {
        page.show_message_entry(Text::bad_can_level);
        return false;
    }
    ConfigReference& reference = page.reference();
    reference.level = record.can_level;
    page.run_level_entry_handler();
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        const auto field = static_cast<ChoiceField>(i);
        // A device byte outside the box's list leaves the box without a selection; the byte
        // the device holds (kept as the reference) is written back unchanged.
        const int index =
            page.choice_index(field) >= 0 ? page.choice_index(field) : reference.choices[i];
        reference.choices[i] = index;
        record.choices[i] = static_cast<uint8_t>(index);
        page.remark_choice(field);
    }
    record.car_number = static_cast<uint16_t>(car_number);

    // The page's reference may come from a file, the defaults or an earlier write, so what the
    // device holds is asked for again: that is what this write overwrites.
    if (!read_config_block(link, kConfigBlockAddress, kConfigRecordSize)) {
        page.show_message_entry(Text::write_error);
        return false;
    }
    ConfigBlock held;
    std::copy(reply_block(link), reply_block(link) + kConfigRecordSize, held.begin());
    if (!keep_held(held))
        return false;

    const ConfigBlock block = encode_config_record(record);
    uint8_t buffer[kConfigRecordSize + 2];
    std::copy(block.begin(), block.end(), buffer + 2);
    if (!write_config_block(link, buffer, kConfigBlockAddress, kConfigRecordSize)) {
        page.show_message_entry(Text::write_error);
        return false;
    }
    if (!link.send_command(command::kStore)) {
        // The block was verified, but the command that puts it into use never went out.
        page.show_message_entry(Text::write_error);
        return false;
    }
    link.pause(kStoreSettleMs);
    page.show_message_entry(query_speed_signal(link) == SpeedSignal::absent
                                ? Text::no_can_speed_warning
                                : Text::config_saved);
    page.clear_save_mark();
    return true;
}

bool calibrate_speedometer(DeviceLink& link, ConfigPageAccess& page) {
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
        if (!read_config_block(link, kConfigBlockAddress, kCalibrationReadCount)) {
            page.show_message_entry(Text::request_failed);
            return false;
        }
        // The reference keeps the old scale, so the new one shows as a pending change.
        page.set_choice_index(kSpeedometerScale, reply_block(link)[1 + kSpeedometerScale]);
        page.show_message_entry(Text::calibration_finished);
        return true;
    }
    page.show_message_entry(Text::request_failed);
    return false;
}
