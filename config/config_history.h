// The configuration history: before the program overwrites a device's configuration block,
// the block the device held is kept as one entry in the user's data folder. An entry is a .cfg
// file with four lines of description in front (time, device type, firmware, vehicle), keys
// that the .cfg readers pass over, so any entry loads like a saved file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_record.h"

struct DeviceIdentity;

struct ConfigHistoryEntry {
    uint64_t number = 0;  // from the file name; grows with every entry, so it names one for good
    std::string time;     // local time when kept, "2026-12-08 14:03:11"
    uint16_t device_type = 0;
    std::string firmware;  // "0022"
    std::string vehicle;   // manufacturer, model and version of the block's row; "" for none
    ConfigRecord record;
    std::string path;  // the entry's file
};

// The oldest entries beyond this are dropped.
constexpr size_t kHistoryMaxEntries = 1000;

// "history" in the user's data folder; "" when the system names no data folder.
std::string history_folder();

// The entry as it stands in the user's data folder: the block's row found with the device's
// firmware (as the page's lists find it), the time now.
ConfigHistoryEntry describe_held_block(const ConfigBlock& block, const DeviceIdentity& device);

// The entry's file text: the description lines, then the record's .cfg lines (encode_cfg).
std::string history_entry_text(const ConfigHistoryEntry& entry);
// None when a description line or a record line is missing or unreadable.
std::optional<ConfigHistoryEntry> parse_history_entry(std::string_view text);

struct ConfigHistoryListing {
    std::vector<ConfigHistoryEntry> entries;  // newest first
    std::vector<std::string> skipped;         // entry files that could not be read
};
// Only finished entries count: a temporary file left by a crash is passed over.
ConfigHistoryListing list_history(const std::string& folder);

// Writes the entry as the newest (its number is the highest yet plus one), then drops the
// oldest entries beyond kHistoryMaxEntries. False when the entry could not be written whole;
// no part of it is then left behind.
bool keep_history_entry(const std::string& folder, ConfigHistoryEntry entry);
