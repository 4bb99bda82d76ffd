#include "config/config_operations.h"

#include <algorithm>
#include <string>

#include "config/config_block.h"
#include "config/config_page_access.h"
#include "config/config_record.h"
#include "config/config_reference.h"
#include "device/command_codes.h"
#include "device/link_compat.h"
#include "device/speed_signal.h"
#include "platform/sleep.h"

namespace {

constexpr int kCalibrationRounds = 10;
// The speedometer scale is block byte 7; calibration reads only the bytes up to the output.
constexpr uint8_t kCalibrationReadCount = 9;

constexpr int kMessageLoaded = 11;
constexpr int kMessageLoadError = 12;
constexpr int kMessageSaved = 17;
constexpr int kMessageDefaultsLoaded = 19;
constexpr int kMessageWriteError = 26;
constexpr int kMessageBadLevel = 38;
constexpr int kMessageRequestFailed = 81;
constexpr int kMessageCalibrated = 104;
constexpr int kMessageNoCanSpeed = 105;

// The block as the device answered it: data from reply payload byte 2 on.
const uint8_t* reply_block() {
    return device_reply().payload() + 2;
}

void apply_block(ConfigPageAccess& page, const uint8_t* block) {
    const ConfigRecord record = decode_config_record(block);
    ConfigReference& reference = config_reference();
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

int load_configuration(int kind) {
    ConfigPageAccess* page = config_page_access();
    if (!page)
        return 0;
    if (kind == kLoadDefaults) {
        apply_block(*page, kDefaultConfigBlock.data());
    } else {
        if (!read_config_block(kConfigBlockAddress, kConfigRecordSize)) {
            page->show_message_entry(kMessageLoadError);
            return 0;
        }
        // Copied out of the program-wide reply buffer before the page's handlers run.
        ConfigBlock block;
        std::copy(reply_block(), reply_block() + kConfigRecordSize, block.begin());
        apply_block(*page, block.data());
    }
    if (kind == kLoadFromDevice)
        page->show_message_entry(kMessageLoaded);
    if (kind == kLoadDefaults)
        page->show_message_entry(kMessageDefaultsLoaded);
    page->clear_save_mark();
    return 1;
}

int save_configuration() {
    ConfigPageAccess* page = config_page_access();
    if (!page)
        return 0;
    ConfigRecord record;
    // Taken before the level handler below can move the selection.
    const int32_t car_number = page->selected_car_number();
    if (!parse_can_level_text(page->level_text(), &record.can_level)) {
        page->show_message_entry(kMessageBadLevel);
        return 0;
    }
    ConfigReference& reference = config_reference();
    reference.level = record.can_level;
    page->run_level_entry_handler();
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        const auto field = static_cast<ChoiceField>(i);
        // A device byte outside the box's list leaves the box without a selection; the byte
        // the device holds (kept as the reference) is written back unchanged.
        const int index =
            page->choice_index(field) >= 0 ? page->choice_index(field) : reference.choices[i];
        reference.choices[i] = index;
        record.choices[i] = static_cast<uint8_t>(index);
        page->remark_choice(field);
    }
    record.car_number = static_cast<uint16_t>(car_number);

    const ConfigBlock block = encode_config_record(record);
    uint8_t buffer[kConfigRecordSize + 2];
    std::copy(block.begin(), block.end(), buffer + 2);
    if (!write_config_block(buffer, kConfigBlockAddress, kConfigRecordSize)) {
        page->show_message_entry(kMessageWriteError);
        return 0;
    }
    send_command(command::kStore);
    if (!device_is_open()) {
        // The block was verified, but the command that puts it into use never went out.
        page->show_message_entry(kMessageWriteError);
        return 0;
    }
    sleep_ms(100);
    page->show_message_entry(query_speed_signal_status() == kNoCanSpeedSignal ? kMessageNoCanSpeed
                                                                              : kMessageSaved);
    page->clear_save_mark();
    return 1;
}

int calibrate_speedometer() {
    ConfigPageAccess* page = config_page_access();
    if (!page)
        return 0;
    for (int round = 0; round < kCalibrationRounds; ++round) {
        send_command(command::kCalibrate);
        if (!await_reply(reply::kDone, kUntilSilent))
            continue;
        if (!read_config_block(kConfigBlockAddress, kCalibrationReadCount)) {
            page->show_message_entry(kMessageRequestFailed);
            return 0;
        }
        // The reference keeps the old scale, so the new one shows as a pending change.
        page->set_choice_index(kSpeedometerScale, reply_block()[1 + kSpeedometerScale]);
        page->show_message_entry(kMessageCalibrated);
        return 1;
    }
    page->show_message_entry(kMessageRequestFailed);
    return 0;
}
