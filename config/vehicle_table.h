// The built-in vehicle table. Its rows live in data/vehicles.tsv; the build turns that file
// into the definitions of this header (vehicle_table_gen), so the data stays readable and
// reviewable while the program gets plain constant arrays.
#pragma once

#include <cstdint>

struct VehicleRow {
    const char* model;
    const char* version;  // often empty, never null
    const char* years;    // null when absent
    uint16_t level;
    // Another CAN level under which the lookup finds this row; 0 when there is none.
    uint16_t second_level;
    uint16_t car_number;       // unique over the whole table
    const char* polish_note;   // null when absent
    const char* english_note;  // null when absent
    // Shown in Slovak: an optional Russian note and a line break, then the car number.
    const char* third_text;
    // The row is listed and found only for devices whose firmware number reaches this.
    uint32_t min_firmware;
};

struct ManufacturerEntry {
    const char* name;        // null in the end entry
    const VehicleRow* rows;  // null in the end entry
    int row_count;
};

constexpr int kManufacturerCount = 54;
constexpr int kVehicleRowCount = 967;

// kManufacturerCount manufacturers in list order, then an end entry without name or rows.
extern const ManufacturerEntry VehicleTable[kManufacturerCount + 1];
