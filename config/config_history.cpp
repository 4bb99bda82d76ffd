#include "config/config_history.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

#include "config/cfg_file.h"
#include "config/vehicle_lookup.h"
#include "device/identification.h"
#include "platform/data_folder.h"
#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/kept_file.h"
#include "platform/local_time.h"

namespace {

constexpr const char* kPrefix = "entry-";
constexpr const char* kSuffix = ".cfg";
constexpr const char* kTemporarySuffix = ".cfg.tmp";
// Far more than the bound, so that entries left over beyond it are still found and dropped.
constexpr size_t kMaxFolderNames = 100000;

constexpr const char* kTimeKey = "time";
constexpr const char* kDeviceKey = "device";
constexpr const char* kFirmwareKey = "firmware";
constexpr const char* kVehicleKey = "vehicle";

bool ends_with(const std::string& text, const char* end) {
    const std::string tail(end);
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The number of a finished entry's name "entry-N.cfg"; none for every other name.
std::optional<uint64_t> entry_number(const std::string& name) {
    const size_t prefix = std::char_traits<char>::length(kPrefix);
    const size_t suffix = std::char_traits<char>::length(kSuffix);
    if (name.size() <= prefix + suffix || name.compare(0, prefix, kPrefix) != 0 ||
        !ends_with(name, kSuffix))
        return std::nullopt;
    const std::string digits = name.substr(prefix, name.size() - prefix - suffix);
    if (digits.size() > 18 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::strtoull(digits.c_str(), nullptr, 10);
}

std::string entry_name(uint64_t number) {
    char name[48];
    std::snprintf(name, sizeof name, "%s%06llu", kPrefix, static_cast<unsigned long long>(number));
    return name;
}

// A value that is all digits and fits the range; none otherwise.
std::optional<int32_t> whole_number(const std::string& text, int32_t max) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value > max)
        return std::nullopt;
    return static_cast<int32_t>(value);
}

struct NumberedName {
    uint64_t number;
    std::string name;
};

// Finished entries, oldest first; temporary files left by an interrupted write as well.
std::vector<NumberedName> entry_names(const std::string& folder,
                                      std::vector<std::string>* leftovers) {
    std::vector<std::string> names;
    std::vector<NumberedName> entries;
    if (!list_folder(folder, kMaxFolderNames, names))
        return entries;
    for (const std::string& name : names) {
        if (const auto number = entry_number(name))
            entries.push_back({*number, name});
        else if (leftovers && name.compare(0, 6, kPrefix) == 0 && ends_with(name, kTemporarySuffix))
            leftovers->push_back(name);
    }
    std::sort(entries.begin(), entries.end(),
              [](const NumberedName& a, const NumberedName& b) { return a.number < b.number; });
    return entries;
}

}  // namespace

std::string history_folder() {
    const std::string data = user_data_folder();
    return data.empty() ? std::string() : data_path(data, "history");
}

ConfigHistoryEntry describe_held_block(const ConfigBlock& block, const DeviceIdentity& device) {
    ConfigHistoryEntry entry;
    entry.record = decode_config_record(block.data());
    entry.device_type = device.type_code;
    char text[32];
    std::snprintf(text, sizeof text, "%02d%02d", device.firmware_high, device.firmware_low);
    entry.firmware = text;
    const LocalTime now = local_time_now();
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    entry.time = text;
    const VehicleRef row =
        find_vehicle(entry.record.can_level, entry.record.car_number, device.firmware_number());
    if (row.found()) {
        const VehicleRow& vehicle = vehicle_row(row);
        entry.vehicle = VehicleTable[row.manufacturer].name;
        // The analogue row is named like its "manufacturer".
        if (entry.vehicle != vehicle.model)
            entry.vehicle += std::string(" ") + vehicle.model;
        if (vehicle.version[0])
            entry.vehicle += std::string(" ") + vehicle.version;
    }
    return entry;
}

std::string history_entry_text(const ConfigHistoryEntry& entry) {
    // Line breaks in a value would start lines of their own.
    std::string vehicle = entry.vehicle;
    std::replace(vehicle.begin(), vehicle.end(), '\n', ' ');
    std::replace(vehicle.begin(), vehicle.end(), '\r', ' ');
    return std::string(kTimeKey) + "=" + entry.time + "\r\n" + kDeviceKey + "=" +
           std::to_string(entry.device_type) + "\r\n" + kFirmwareKey + "=" + entry.firmware +
           "\r\n" + kVehicleKey + "=" + vehicle + "\r\n" + encode_cfg(entry.record);
}

std::optional<ConfigHistoryEntry> parse_history_entry(std::string_view text) {
    ConfigHistoryEntry entry;
    bool time = false, device = false, firmware = false, level = false, car = false;
    std::array<bool, kChoiceFieldCount> choices{};
    for (const ConfigLine& line : split_config_lines(text)) {
        if (line.key == kTimeKey) {
            entry.time = line.value;
            time = !line.value.empty();
        } else if (line.key == kDeviceKey) {
            const auto type = whole_number(line.value, 65535);
            device = type.has_value();
            entry.device_type = static_cast<uint16_t>(type.value_or(0));
        } else if (line.key == kFirmwareKey) {
            entry.firmware = line.value;
            firmware = true;
        } else if (line.key == kVehicleKey) {
            entry.vehicle = line.value;
        } else if (line.key == "canlevel") {
            const auto value = whole_number(line.value, 65536);
            level = value.has_value();
            entry.record.can_level = value.value_or(0);
        } else if (line.key == "carnumber") {
            const auto value = whole_number(line.value, 65535);
            car = value.has_value();
            entry.record.car_number = static_cast<uint16_t>(value.value_or(0));
        } else {
            for (int i = 0; i < kChoiceFieldCount; ++i) {
                if (line.key != choice_field_info(static_cast<ChoiceField>(i)).key)
                    continue;
                const auto value = whole_number(line.value, 255);
                choices[i] = value.has_value();
                entry.record.choices[i] = static_cast<uint8_t>(value.value_or(0));
            }
        }
    }
    const bool all_choices = std::all_of(choices.begin(), choices.end(), [](bool b) { return b; });
    if (!time || !device || !firmware || !level || !car || !all_choices)
        return std::nullopt;
    return entry;
}

ConfigHistoryListing list_history(const std::string& folder) {
    ConfigHistoryListing listing;
    const std::vector<NumberedName> names = entry_names(folder, nullptr);
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const std::string path = data_path(folder, it->name);
        std::string text;
        std::optional<ConfigHistoryEntry> entry;
        if (read_whole_file(path, kConfigFileMaxBytes, text))
            entry = parse_history_entry(text);
        if (!entry) {
            listing.skipped.push_back(path);
            continue;
        }
        entry->number = it->number;
        entry->path = path;
        listing.entries.push_back(std::move(*entry));
    }
    return listing;
}

bool keep_history_entry(const std::string& folder, ConfigHistoryEntry entry) {
    if (folder.empty() || !make_folders(folder))
        return false;
    std::vector<std::string> leftovers;
    const std::vector<NumberedName> names = entry_names(folder, &leftovers);
    // What an interrupted write left is no entry and never becomes one.
    for (const std::string& name : leftovers)
        remove_file(data_path(folder, name));
    entry.number = names.empty() ? 1 : names.back().number + 1;
    const std::string name = entry_name(entry.number);
    if (!write_file_safely(data_path(folder, name + kSuffix),
                           data_path(folder, name + kTemporarySuffix), history_entry_text(entry)))
        return false;
    // The new entry is one more than the names listed before it.
    for (size_t i = 0; i + kHistoryMaxEntries < names.size() + 1; ++i)
        remove_file(data_path(folder, names[i].name));
    return true;
}
