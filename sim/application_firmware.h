// The QN718's application firmware as the host sees it: commands in, reply frames out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Service commands of the simulated firmware, for the console: a burst of log lines (payload
// byte 0 the count, 1 when absent) and an error dump. Both are answered with reply 1.
constexpr uint8_t kLogLinesCommand = 0x30;
constexpr uint8_t kErrorDumpCommand = 0x31;

// One good command frame from the host.
void handle_command(uint8_t code, const std::vector<uint8_t>& payload);

// Time passes for the firmware once per poll report: a running calibration ends, the demo's
// log lines fall due.
void firmware_poll_tick();

// Reply frames go out one per poll.
void queue_reply(uint8_t code, const std::vector<uint8_t>& payload);

// A device log line: reply code 0xFF whose payload is the text, before any reply.
void queue_log_frame(const std::string& text);

}  // namespace sim
