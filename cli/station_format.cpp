#include "cli/station_format.h"

#include <cstdio>

#include "cli/cli_format.h"
#include "platform/local_time.h"

namespace {

std::string csv_field(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    return text;
}

std::string one_line(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

}  // namespace

const char* const kStationReportHeader =
    "time,type,firmware_before,firmware_after,result,seconds,reason\r\n";

std::string history_line(const ConfigHistoryEntry& entry) {
    char number[32];
    std::snprintf(number, sizeof number, "%4llu", static_cast<unsigned long long>(entry.number));
    std::string line = std::string(number) + "  " + entry.time + "  QN" +
                       std::to_string(entry.device_type) + "-" + entry.firmware + "  level " +
                       std::to_string(entry.record.can_level) + "  car " +
                       std::to_string(entry.record.car_number);
    if (!entry.vehicle.empty())
        line += "  " + entry.vehicle;
    return line + "\n";
}

std::string history_json(const ConfigHistoryEntry& entry) {
    std::string json =
        "{\"number\":" + std::to_string(entry.number) + ",\"time\":" + json_string(entry.time) +
        ",\"device_type\":" + std::to_string(entry.device_type) +
        ",\"firmware\":" + json_string(entry.firmware) +
        ",\"vehicle\":" + json_string(entry.vehicle) +
        ",\"canlevel\":" + std::to_string(entry.record.can_level) +
        ",\"carnumber\":" + std::to_string(entry.record.car_number) + ",\"choices\":[";
    for (size_t i = 0; i < entry.record.choices.size(); ++i)
        json += (i ? "," : "") + std::to_string(entry.record.choices[i]);
    return json + "],\"file\":" + json_string(entry.path) + "}\n";
}

std::string station_text_line(const StationLine& line) {
    std::string text = line.time + "  " + line.type + "  " + line.firmware_before + " -> " +
                       line.firmware_after + "  " + (line.passed ? "passed" : "failed") + "  " +
                       seconds_text(line.seconds) + " s";
    if (!line.reason.empty())
        text += "  " + one_line(line.reason);
    return text + "\n";
}

std::string station_csv_line(const StationLine& line) {
    return csv_field(line.time) + "," + csv_field(line.type) + "," +
           csv_field(line.firmware_before) + "," + csv_field(line.firmware_after) + "," +
           (line.passed ? "passed" : "failed") + "," + seconds_text(line.seconds) + "," +
           csv_field(one_line(line.reason)) + "\r\n";
}

std::string time_stamp_now() {
    const LocalTime now = local_time_now();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return text;
}
