#include "config/cfg_file.h"

#include <algorithm>

#include "app/number_text.h"
#include "config/vehicle_lookup.h"

namespace {

constexpr const char* kLevelKey = "canlevel";
constexpr const char* kCarKey = "carnumber";

void add_line(std::string& text, const char* key, int32_t value) {
    text += key;
    text += '=';
    text += std::to_string(value);
    text += "\r\n";
}

int choice_field_of(const std::string& key) {
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        if (key == choice_field_info(static_cast<ChoiceField>(i)).key)
            return i;
    }
    return -1;
}

}  // namespace

std::vector<ConfigLine> split_config_lines(std::string_view data) {
    data = data.substr(0, kConfigFileMaxBytes);
    std::vector<ConfigLine> lines;
    std::string line;
    bool too_long = false;
    auto finish_line = [&] {
        const size_t equals = line.find('=');
        if (!too_long && equals != std::string::npos) {
            lines.push_back({line.substr(0, equals), line.substr(equals + 1)});
        }
        line.clear();
        too_long = false;
    };
    for (const char c : data) {
        if (c == '\r')
            continue;
        if (c == '\n') {
            finish_line();
        } else if (line.size() < kConfigLineMaxChars) {
            line.push_back(c);
        } else {
            too_long = true;
        }
    }
    if (!line.empty())
        finish_line();
    return lines;
}

std::string encode_cfg(const ConfigRecord& record) {
    std::string text;
    add_line(text, kLevelKey, record.can_level);
    add_line(text, kCarKey, record.car_number);
    for (int i = 0; i < kChoiceFieldCount; ++i)
        add_line(text, choice_field_info(static_cast<ChoiceField>(i)).key, record.choices[i]);
    return text;
}

CfgDecoded decode_cfg(std::string_view text, const ConfigRecord& base) {
    CfgDecoded decoded;
    ConfigRecord& record = decoded.record;
    record = base;
    bool any_key = false;
    const std::string* level_text = nullptr;
    int32_t level = base.can_level;
    const std::vector<ConfigLine> lines = split_config_lines(text);
    for (const ConfigLine& line : lines) {
        if (line.key == kLevelKey) {
            any_key = true;
            level_text = &line.value;
            // The vehicle selection follows a level that differs from the one it stands for.
            const int32_t moved_to = leading_level_value(line.value.c_str());
            if (moved_to != level)
                record.car_number = 0;
            level = moved_to;
        } else if (line.key == kCarKey) {
            any_key = true;
            decoded.car_given = true;
            // No vehicle has 0 or 65535, so a number beyond either end finds none, like any
            // number the table lacks.
            record.car_number =
                static_cast<uint16_t>(std::clamp(leading_int(line.value), 0, 65535));
        } else if (const int field = choice_field_of(line.key); field >= 0) {
            any_key = true;
            const int32_t index = leading_int(line.value);
            // A position the box does not have is treated like a malformed line.
            if (index < 0 || index >= choice_field_info(static_cast<ChoiceField>(field)).count)
                continue;
            record.choices[field] = static_cast<uint8_t>(index);
            decoded.choice_given[field] = true;
        }
    }
    if (!any_key) {
        decoded.problem = CfgProblem::no_configuration_lines;
        return decoded;
    }
    if (level_text) {
        decoded.level_given = true;
        decoded.level_text = *level_text;
        if (!parse_can_level_text(*level_text, &record.can_level))
            decoded.problem = CfgProblem::bad_level;
    }
    return decoded;
}

std::string with_config_extension(const std::string& name) {
    const size_t n = name.size();
    if (n >= 4) {
        const std::string_view last(name.data() + n - 4, 4);
        if (last == ".cfg" || last == ".CFG")
            return name;
    }
    return name + ".cfg";
}
