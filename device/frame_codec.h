// Text frames exchanged with the QN718 and their cutting into HID reports.
// Pure functions: no device, no GTK. Both the link and the simulator use them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The encoder's text buffer holds 296 bytes, so a frame carries at most this many payload bytes.
constexpr int kMaxCommandPayload = 143;
// Reply text longer than this without a complete frame is thrown away.
constexpr size_t kMaxReplyText = 1007;
// Long reports carry 64 data bytes, short reports 8; the report id byte comes on top.
constexpr int kLongReportSize = 64;
constexpr int kShortReportSize = 8;
constexpr uint8_t kPollFlags = 0x60;

// Sum over the bytes of (byte + 0x55), modulo 256.
uint8_t frame_checksum(const uint8_t* bytes, size_t count);

// "!" L code payload checksum "#" in upper-case hex. Returns "" when the payload is too long.
std::string encode_frame(uint8_t code, const uint8_t* payload, size_t count);

// Value of an upper-case hex digit, -1 for anything else (lower case included).
int frame_hex_digit(char c);

struct FrameDecodeResult {
    bool good = false;
    int length = 0;       // decoded bytes, L + 2 when good
    size_t consumed = 0;  // characters up to and including "#", or the whole text
};
// Decodes text that starts with "!" into out (capacity bytes). The frame is good when every
// character up to "#" is an upper-case hex pair, L (at least 1: the code) equals the decoded
// count minus 2 and the last byte is the checksum of the ones before it.
FrameDecodeResult decode_frame(std::string_view text, uint8_t* out, size_t capacity);

// Output reports of report_size + 1 bytes (report id 0 first) carrying the frame text.
std::vector<std::vector<uint8_t>> frame_to_reports(std::string_view frame_text, int report_size);

// The poll report: report_size + 1 bytes, all zero but byte 1 = 0x60.
std::vector<uint8_t> poll_report(int report_size);

// What one input report (report id stripped, report_size bytes) carries.
struct InputChunk {
    bool has_text = false;  // flags bit 6
    bool more = false;      // flags bit 5: further chunks of the same frame follow
    std::string_view text;  // the text bytes, count cut to the report's capacity
};
InputChunk parse_input_report(const uint8_t* report, int report_size);

// True when every one of the report_size bytes is 0xAA: the device starts an error dump.
bool is_error_dump_report(const uint8_t* report, int report_size);
