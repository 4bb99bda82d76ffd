// Rules over the vehicle table that need no widgets: which rows a device may use, how a row
// is labelled in the model list, and which row stands for a CAN level and car number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/vehicle_table.h"

// A row's place in VehicleTable; manufacturer -1 stands for no row.
struct VehicleRef {
    int manufacturer = -1;
    int row = -1;

    bool found() const { return manufacturer >= 0; }
};

const VehicleRow& vehicle_row(VehicleRef ref);

inline bool row_visible(const VehicleRow& row, uint32_t firmware) {
    return row.min_firmware <= firmware;
}

// Row numbers of one manufacturer that a device with this firmware can use, in table order;
// empty when the firmware hides them all.
std::vector<int> visible_rows(int manufacturer, uint32_t firmware);

// The text of one model-list entry: model, a space, version; then " <year word> <years>" when
// the years are present; then a line break and the note for the language when there is one
// (Polish: the Polish note; Slovak: the third text; other languages: the English note).
// year_word is language-table entry 6 of that language.
std::string vehicle_row_label(const VehicleRow& row, int language, const char* year_word);

// The row a configuration stands for, among the rows visible to this firmware, in table order:
// the first row with this car number and this level as its level or second level; else the
// first row whose level is this level; else the first row whose second level is this level;
// else none.
VehicleRef find_vehicle(int32_t level, int32_t car_number, uint32_t firmware);
// The car number the page's vehicle selection holds after selecting this configuration: the
// found row's, 0 when no row stands for it. That is the number a write or a .cfg file takes.
int32_t selected_car_for(int32_t level, int32_t car_number, uint32_t firmware);
// The same over another table laid out like VehicleTable (ending with an entry without name).
VehicleRef find_vehicle_in(const ManufacturerEntry* table, int32_t level, int32_t car_number,
                           uint32_t firmware);

// The number the leading digits of a typed CAN level make (0 when it starts otherwise),
// held at INT32_MAX when the digits run beyond it.
int32_t leading_level_value(const char* text);
