// The texts of the configuration history and the production station, in the four interface
// languages; the window and the tool share them.
#pragma once

enum class HistoryText : int {
    menu_item,        // "Configuration history..."
    window_title,     // "Configuration history"
    column_time,      // "Time"
    column_vehicle,   // "Vehicle"
    column_level,     // "CAN level"
    column_firmware,  // "Firmware"
    load_into_page,   // "Load into page"
    save_as_file,     // "Save as file"
    close,            // "Close"
    no_entries,       // "No configuration has been overwritten yet."
    keep_failed,      // "... could not be kept in the history (%s): nothing was written."
    skipped_entry,    // "Skipped an unreadable history entry: %s"
    no_such_entry,    // "There is no history entry number %s."
    station_waiting,  // "Waiting for a device..."
    station_next,     // "Unplug the device and connect the next one."
    station_totals,   // "Devices: %d, passed: %d, failed: %d"
};
constexpr int kHistoryTextCount = 16;

// The entry in a given language (an index of LanguageList).
const char* history_text_in(int language, HistoryText entry);
