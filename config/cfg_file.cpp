#include "config/cfg_file.h"

#include "app/number_text.h"
#include "config/vehicle_lookup.h"

namespace {

void read_canlevel(ConfigPageAccess& page, const ConfigKeyEntry&, const std::string& value) {
    // The entry shows the text exactly as the file has it; its number becomes the reference,
    // so the entry is not drawn as changed.
    page.set_level_text(value);
    page.reference().level = leading_int(value);
    page.unmark_level_entry();
}

int32_t write_canlevel(ConfigPageAccess& page, const ConfigKeyEntry&) {
    // The entry's own rule: its leading digits, so " 3" or "-3" is written as 0, as the page
    // reads it.
    const int32_t level = leading_level_value(page.level_text().c_str());
    page.reference().level = level;
    page.unmark_level_entry();
    return level;
}

void read_carnumber(ConfigPageAccess& page, const ConfigKeyEntry&, const std::string& value) {
    // The canlevel line just before has put the file's level into current_level; with it the
    // lookup finds the saved row exactly, also rows whose second level is not 0.
    page.select_vehicle(page.current_level(), leading_int(value), false);
}

int32_t write_carnumber(ConfigPageAccess& page, const ConfigKeyEntry&) {
    return page.selected_car_number();
}

void read_choice(ConfigPageAccess& page, const ConfigKeyEntry& entry, const std::string& value) {
    const int32_t index = leading_int(value);
    // A position the box does not have is treated like a malformed line: the field and its
    // reference stay as they were, so the box never shows an empty or unexpected choice.
    if (index < 0 || index >= choice_field_info(entry.field).count)
        return;
    page.reference().choices[entry.field] = index;
    page.set_choice_index(entry.field, index);
    page.remark_choice(entry.field);
}

int32_t write_choice(ConfigPageAccess& page, const ConfigKeyEntry& entry) {
    // A device byte that no choice shows leaves the box without a selection; the byte itself
    // (kept as the reference) is what the file stores, so a later "Save" writes it back.
    const int32_t shown = page.choice_index(entry.field);
    const int32_t index = shown >= 0 ? shown : page.reference().choices[entry.field];
    page.reference().choices[entry.field] = index;
    page.remark_choice(entry.field);
    return index;
}

// A choice key is named after its configuration field.
ConfigKeyEntry choice_key(ChoiceField field) {
    return {choice_field_info(field).key, read_choice, write_choice, field};
}

}  // namespace

const ConfigKeyEntry ConfigKeyTable[] = {
    {"canlevel", read_canlevel, write_canlevel, kChoiceFieldCount},
    {"carnumber", read_carnumber, write_carnumber, kChoiceFieldCount},
    choice_key(kVonSpeed),
    choice_key(kVoffSpeed),
    choice_key(kHoldonTime),
    choice_key(kSwitchoffTime),
    choice_key(kSwitchoffMode),
    choice_key(kAnalogIgn),
    choice_key(kSpeedometerScale),
    choice_key(kProgOutput),
    {nullptr, nullptr, nullptr, kChoiceFieldCount},
};

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

std::string write_config_text(ConfigPageAccess& page) {
    std::string text;
    for (const ConfigKeyEntry* entry = ConfigKeyTable; entry->key; ++entry) {
        text += entry->key;
        text += '=';
        text += std::to_string(entry->writer(page, *entry));
        text += "\r\n";
    }
    return text;
}

void read_config_text(ConfigPageAccess& page, std::string_view data) {
    for (const ConfigLine& line : split_config_lines(data)) {
        for (const ConfigKeyEntry* entry = ConfigKeyTable; entry->key; ++entry) {
            if (line.key == entry->key)
                entry->reader(page, *entry, line.value);
        }
    }
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
