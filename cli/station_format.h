// What the history and station commands print and what the station appends to its report:
// plain functions of the values, so that the formats are fixed by tests.
#pragma once

#include <string>

#include "config/config_history.h"

// "  12  2026-12-08 14:03:11  QN718-0022  level 3  car 43  Volkswagen Golf V 1K", one line.
std::string history_line(const ConfigHistoryEntry& entry);
// One line of JSON with the number, the description and every record value.
std::string history_json(const ConfigHistoryEntry& entry);

// One device at the station.
struct StationLine {
    std::string time;             // when its line was made, local time
    std::string type;             // "QN718"; "-" when it never identified
    std::string firmware_before;  // "0021", "bootloader" or "-"
    std::string firmware_after;   // "0022" or "-"
    bool passed = false;
    double seconds = 0;
    std::string reason;  // why it failed; "" when it passed
};

// The report's first line, written when the file is new or empty.
extern const char* const kStationReportHeader;
// "2026-12-08 14:03:11  QN718  0021 -> 0022  passed  12.3 s", and the reason after a failure.
std::string station_text_line(const StationLine& line);
// The same fields as a CSV line (RFC 4180 quoting), CR LF at the end.
std::string station_csv_line(const StationLine& line);

// "2026-12-08 14:03:11", local time now.
std::string time_stamp_now();
