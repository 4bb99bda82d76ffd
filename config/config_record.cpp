#include "config/config_record.h"

#include <climits>
#include <cstdlib>

namespace {

constexpr int kLevelByte = 0;
constexpr int kFirstChoiceByte = 1;
constexpr int kCarNumberByte = 9;
constexpr int kExtendedLevelByte = 11;
constexpr uint8_t kExtendedLevelMark = 255;

constexpr ChoiceText kVonSpeedChoices[] = {"0 km/h", "5 km/h", "10 km/h", "20 km/h", "40 km/h"};
// Not evenly spaced: the device counts these positions, so the order is fixed.
constexpr ChoiceText kVoffSpeedChoices[] = {"5 km/h", "10 km/h", "15 km/h", "25 km/h", "45 km/h"};
constexpr ChoiceText kHoldonTimeChoices[] = {"0 s", "1 s", "2 s", "5 s"};
// Position 0 is not a time: the sensor stays on while the vehicle stands.
constexpr ChoiceText kSwitchoffTimeChoices[] = {
    Text::enabled_at_zero_speed, "1 s", "2 s", "5 s", "10 s", "15 s"};
constexpr ChoiceText kSwitchoffModeChoices[] = {Text::ignition_does_not_enable_sensor,
                                                Text::ignition_enables_sensor};
constexpr ChoiceText kAnalogIgnChoices[] = {Text::disabled, Text::positive_signal,
                                            Text::negative_signal};
constexpr ChoiceText kProgOutputChoices[] = {Text::disabled, Text::ignition, Text::reverse_gear};

template <size_t N>
constexpr ChoiceFieldInfo info(const char* key, const ChoiceText (&choices)[N]) {
    return {key, static_cast<int>(N), choices};
}

const ChoiceFieldInfo kChoiceFields[kChoiceFieldCount] = {
    info("von_speed", kVonSpeedChoices),
    info("voff_speed", kVoffSpeedChoices),
    info("holdon_time", kHoldonTimeChoices),
    info("switchoff_time", kSwitchoffTimeChoices),
    info("switchoff_mode", kSwitchoffModeChoices),
    info("analog_ign", kAnalogIgnChoices),
    {"speedometer_scale", 50, nullptr},
    info("prog_output", kProgOutputChoices),
};

}  // namespace

const ConfigBlock kDefaultConfigBlock = {3, 2, 3, 0, 2, 0, 0, 0, 0, 0, 43, 0, 0};

void encode_can_level(int32_t level, uint8_t* block) {
    if (level <= 254) {
        block[kLevelByte] = static_cast<uint8_t>(level);
        block[kExtendedLevelByte] = 0;
        block[kExtendedLevelByte + 1] = 0;
        return;
    }
    const uint32_t stored = static_cast<uint32_t>(level - 1);
    block[kLevelByte] = kExtendedLevelMark;
    block[kExtendedLevelByte] = static_cast<uint8_t>(stored >> 8);
    block[kExtendedLevelByte + 1] = static_cast<uint8_t>(stored);
}

int32_t decode_can_level(const uint8_t* block) {
    if (block[kLevelByte] != kExtendedLevelMark)
        return block[kLevelByte];
    return ((block[kExtendedLevelByte] << 8) | block[kExtendedLevelByte + 1]) + 1;
}

ConfigBlock encode_config_record(const ConfigRecord& record) {
    ConfigBlock block{};
    encode_can_level(record.can_level, block.data());
    for (int i = 0; i < kChoiceFieldCount; ++i)
        block[kFirstChoiceByte + i] = record.choices[i];
    block[kCarNumberByte] = static_cast<uint8_t>(record.car_number >> 8);
    block[kCarNumberByte + 1] = static_cast<uint8_t>(record.car_number);
    return block;
}

ConfigRecord decode_config_record(const uint8_t* block) {
    ConfigRecord record;
    record.can_level = decode_can_level(block);
    for (int i = 0; i < kChoiceFieldCount; ++i)
        record.choices[i] = block[kFirstChoiceByte + i];
    record.car_number =
        static_cast<uint16_t>((block[kCarNumberByte] << 8) | block[kCarNumberByte + 1]);
    return record;
}

const ChoiceFieldInfo& choice_field_info(ChoiceField field) {
    return kChoiceFields[field];
}

bool can_level_allowed(int32_t level) {
    return level >= 0 && level <= 65535 && level != 255 && level != 256;
}

bool parse_can_level_text(const std::string& text, int32_t* level) {
    int32_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 65535)
            return false;
    }
    if (!can_level_allowed(value))
        return false;
    *level = value;
    return true;
}
