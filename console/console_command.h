// Raw commands typed into the console: the command code in hex, the payload as text with
// escapes, and the wait for the device's answer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/command_history.h"
#include "console/traffic_log.h"
#include "device/device_link.h"

// 0-15 for "0"-"9", "A"-"F" and "a"-"f"; -1 for anything else.
int hex_digit_value(char c);
// Reads up to count bytes from pairs of hex digits, high nibble first, until the text ends.
// -1 at the first character that is not a hex digit, otherwise the number of whole bytes
// stored (a lone last digit is not stored).
int parse_hex_bytes(uint8_t* out, std::string_view text, int count);

// The payload the data field stands for. A character is its own byte code; "\x" and two more
// characters is one byte (a character that is not a hex digit counts as 0xF, unchecked); a
// backslash before any other character is that character; an escape cut off by the end of
// the text gives no byte.
std::vector<uint8_t> parse_console_data(std::string_view text);

// The sent line: "\x", the command as typed, a blank, the data as typed.
std::string console_echo_text(std::string_view command_field, std::string_view data_field);
// The received line for a reply: code, payload in hex, payload as characters in quotes.
// At most 1,020 characters: a long payload is shown as far as both forms fit.
std::string console_response_text(const DeviceReply& reply);
constexpr size_t kMaxResponseText = 1020;

struct ConsoleRequest {
    std::string command_field;
    std::string data_field;
    bool await_response = false;  // the "Response" check button
};

struct ConsoleSendResult {
    bool refused = false;        // another exchange holds the link: nothing checked or sent
    bool bad_command = false;    // not two hex digits: nothing stored, recorded or sent
    bool data_too_long = false;  // more payload than one frame carries: the same
    bool delivered = false;      // the frame went out whole
    std::string echo;            // the sent line recorded, "" when refused
    std::string response;        // the received line recorded, "" when none came
};

// Refused while another exchange holds the link. Otherwise checks the fields, keeps them in the
// history, records the sent line, sends the command and, when asked, waits up to 40 rounds of 50 ms
// for a reply with code 1 and records it. Replies with other codes are passed over; a device that
// never falls silent ends the wait after 3 s all told.
ConsoleSendResult console_send(DeviceLink& link, CommandHistory& history, TrafficLog& traffic,
                               const ConsoleRequest& request);
