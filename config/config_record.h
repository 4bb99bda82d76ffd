// The device's 13-byte configuration block: byte layout, the choice lists in wire order, the
// factory defaults and the rules for the CAN level text.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/text_id.h"

constexpr int kConfigRecordSize = 13;

// The eight choice parameters, in the order of block bytes 1..8.
enum ChoiceField : int {
    kVonSpeed,
    kVoffSpeed,
    kHoldonTime,
    kSwitchoffTime,
    kSwitchoffMode,
    kAnalogIgn,
    kSpeedometerScale,
    kProgOutput,
    kChoiceFieldCount
};

struct ConfigRecord {
    // 0..65535 when written; a decoded block may give 65536, since decoding does not clamp.
    int32_t can_level = 0;
    std::array<uint8_t, kChoiceFieldCount> choices{};
    uint16_t car_number = 0;
};

using ConfigBlock = std::array<uint8_t, kConfigRecordSize>;

ConfigBlock encode_config_record(const ConfigRecord& record);
ConfigRecord decode_config_record(const uint8_t* block);

// Levels up to 254 travel in byte 0; larger ones as 255 in byte 0 and level - 1 in bytes 11-12.
void encode_can_level(int32_t level, uint8_t* block);
int32_t decode_can_level(const uint8_t* block);

// "Default settings": CAN level 3 and car number 43 (Volkswagen Golf V); bytes 11-12 unused.
extern const ConfigBlock kDefaultConfigBlock;

// One entry of a choice list: a language-table entry, or a text that is the same in every
// language.
struct ChoiceText {
    constexpr ChoiceText(const char* fixed_text) : fixed(fixed_text) {}
    constexpr ChoiceText(Text language_entry) : entry(language_entry) {}
    const char* fixed = nullptr;  // when set, shown as it is
    Text entry = Text::yes;
};

struct ChoiceFieldInfo {
    const char* key;  // the name the .cfg file uses
    int count;
    const ChoiceText* choices;  // null: the decimal numbers "1" to count
};

const ChoiceFieldInfo& choice_field_info(ChoiceField field);

// A level the device may receive: at most 65535, and neither 255 nor 256 (255 in byte 0 marks
// the extended form).
bool can_level_allowed(int32_t level);
// The CAN level entry text as the device may receive it: digits only (empty counts as 0),
// at most 65535, and neither 255 nor 256. False when the text breaks a rule.
bool parse_can_level_text(const std::string& text, int32_t* level);
