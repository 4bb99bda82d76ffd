#include "config/vehicle_lookup.h"

#include <limits>

#include "app/language.h"

const VehicleRow& vehicle_row(VehicleRef ref) {
    return VehicleTable[ref.manufacturer].rows[ref.row];
}

std::vector<int> visible_rows(int manufacturer, uint32_t firmware) {
    std::vector<int> rows;
    if (manufacturer < 0 || manufacturer >= kManufacturerCount)
        return rows;
    const ManufacturerEntry& entry = VehicleTable[manufacturer];
    for (int i = 0; i < entry.row_count; ++i) {
        if (row_visible(entry.rows[i], firmware))
            rows.push_back(i);
    }
    return rows;
}

std::string vehicle_row_label(const VehicleRow& row, int language, const char* year_word) {
    std::string label = row.model;
    label += ' ';
    label += row.version;
    if (row.years) {
        label += ' ';
        label += year_word;
        label += ' ';
        label += row.years;
    }
    const char* note = row.english_note;
    if (language == kPolish) {
        note = row.polish_note;
    } else if (language == kSlovak && row.third_text) {
        note = row.third_text;
    }
    if (note) {
        label += '\n';
        label += note;
    }
    return label;
}

VehicleRef find_vehicle(int32_t level, int32_t car_number, uint32_t firmware) {
    return find_vehicle_in(VehicleTable, level, car_number, firmware);
}

int32_t selected_car_for(int32_t level, int32_t car_number, uint32_t firmware) {
    const VehicleRef found = find_vehicle(level, car_number, firmware);
    return found.found() ? vehicle_row(found).car_number : 0;
}

VehicleRef find_vehicle_in(const ManufacturerEntry* table, int32_t level, int32_t car_number,
                           uint32_t firmware) {
    VehicleRef primary;
    VehicleRef secondary;
    for (int m = 0; table[m].name; ++m) {
        const ManufacturerEntry& entry = table[m];
        for (int i = 0; i < entry.row_count; ++i) {
            const VehicleRow& row = entry.rows[i];
            if (!row_visible(row, firmware))
                continue;
            const bool by_level = row.level == level;
            const bool by_second = row.second_level == level;
            if (row.car_number == car_number && (by_level || by_second))
                return {m, i};
            if (by_level && !primary.found())
                primary = {m, i};
            if (by_second && !secondary.found())
                secondary = {m, i};
        }
    }
    return primary.found() ? primary : secondary;
}

int32_t leading_level_value(const char* text) {
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    int32_t value = 0;
    for (const char* c = text; c && *c >= '0' && *c <= '9'; ++c) {
        const int digit = *c - '0';
        if (value > (kMax - digit) / 10)
            return kMax;
        value = value * 10 + digit;
    }
    return value;
}
