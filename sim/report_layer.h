// The device's side of the HID report layer: output reports in, frame text reassembled and
// handed to the firmware; pending output cut into input reports, one output per poll.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// One output report as the host wrote it (report id first), on a handle of report_size.
void take_output_report(const uint8_t* report, size_t length, int report_size);

// Frame or any other text as input reports of report_size bytes: flags 0x40, 0x20 while more
// follow; at most chunk_limit characters a report when 1..capacity, else the capacity.
std::vector<std::vector<uint8_t>> text_to_input_reports(std::string_view text, int report_size,
                                                        int chunk_limit);

// An error dump: one report of all 0xAA, then each line as plain NUL-padded text reports.
std::vector<std::vector<uint8_t>> error_dump_reports(const std::vector<std::string>& lines,
                                                     int report_size);

}  // namespace sim
