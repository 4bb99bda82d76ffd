#include "console/console_command.h"

#include <algorithm>
#include <chrono>

#include "console/traffic_log.h"
#include "device/command_codes.h"
#include "device/frame_codec.h"

namespace {

constexpr int kResponseRounds = 40;
constexpr int kResponseRoundMs = 50;
constexpr std::chrono::milliseconds kResponseLimit{kResponseRounds * kResponseRoundMs + 1000};
constexpr char kHexDigits[] = "0123456789ABCDEF";

void append_hex(std::string& text, uint8_t byte) {
    text.push_back(kHexDigits[byte >> 4]);
    text.push_back(kHexDigits[byte & 0x0F]);
}

// The value of a two-digit escape. What is not a hex digit reads as -1, whose bits fill the
// nibble (and, in the low digit, the high one too): "\xG1" is 0xF1, "\x1G" is 0xFF.
uint8_t escape_value(char high, char low) {
    const unsigned first = static_cast<unsigned>(hex_digit_value(high));
    const unsigned second = static_cast<unsigned>(hex_digit_value(low));
    return static_cast<uint8_t>(((first << 4) | second) & 0xFF);
}

}  // namespace

int hex_digit_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

int parse_hex_bytes(uint8_t* out, std::string_view text, int count) {
    int stored = 0;
    for (size_t i = 0; i < text.size() && stored < count; i += 2) {
        const int high = hex_digit_value(text[i]);
        if (high < 0)
            return -1;
        if (i + 1 == text.size())
            break;
        const int low = hex_digit_value(text[i + 1]);
        if (low < 0)
            return -1;
        out[stored++] = static_cast<uint8_t>(high << 4 | low);
    }
    return stored;
}

std::vector<uint8_t> parse_console_data(std::string_view text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            bytes.push_back(static_cast<uint8_t>(text[i]));
            continue;
        }
        if (i + 1 >= text.size())
            break;
        const char kind = text[i + 1];
        if (kind == 'x' || kind == 'X') {
            if (i + 3 >= text.size())
                break;
            bytes.push_back(escape_value(text[i + 2], text[i + 3]));
            i += 3;
        } else {
            bytes.push_back(static_cast<uint8_t>(kind));
            i += 1;
        }
    }
    return bytes;
}

std::string console_echo_text(std::string_view command_field, std::string_view data_field) {
    std::string text = "\\x";
    text.append(command_field.substr(0, 2));
    text.push_back(' ');
    text.append(data_field);
    text.push_back('\n');
    return text;
}

std::string console_response_text(const DeviceReply& reply) {
    // Code, two separators, two quotes and the LF take 11 characters; each byte shown takes 3.
    constexpr size_t kFixed = 11;
    const size_t shown =
        std::min(static_cast<size_t>(reply.payload_length()), (kMaxResponseText - kFixed) / 3);
    const uint8_t* payload = reply.payload();
    std::string text;
    text.reserve(kFixed + 3 * shown);
    append_hex(text, reply.code());
    text += " - ";
    for (size_t i = 0; i < shown; ++i)
        append_hex(text, payload[i]);
    text += " - \"";
    for (size_t i = 0; i < shown; ++i) {
        const char c = static_cast<char>(payload[i] & 0x7F);
        text.push_back(c < 0x20 ? '?' : c);
    }
    text += "\"\n";
    return text;
}

ConsoleSendResult console_send(DeviceLink& link, CommandHistory& history, TrafficLog& traffic,
                               const ConsoleRequest& request) {
    ConsoleSendResult result;
    const auto exchange = link.begin_exchange();
    if (!exchange) {
        result.refused = true;
        return result;
    }
    uint8_t code = 0;
    // A field shorter than two characters has no command byte to send.
    result.bad_command = request.command_field.size() < 2 ||
                         parse_hex_bytes(&code, request.command_field.substr(0, 2), 1) != 1;
    const std::vector<uint8_t> payload = parse_console_data(request.data_field);
    result.data_too_long = payload.size() > static_cast<size_t>(kMaxCommandPayload);
    if (result.bad_command || result.data_too_long)
        return result;

    history.record(request.command_field, request.data_field);
    result.echo = console_echo_text(request.command_field, request.data_field);
    traffic.log(TrafficDirection::sent, result.echo);
    result.delivered = link.send_command(code, payload.data(), static_cast<int>(payload.size()));
    if (!result.delivered || !request.await_response)
        return result;

    // A device that answers every poll would hold the rounds open: each round takes at most
    // the polls of a wait for silence, and all of them together no more than kResponseLimit.
    const auto deadline = std::chrono::steady_clock::now() + kResponseLimit;
    for (int round = 0; round < kResponseRounds; ++round) {
        link.pause(kResponseRoundMs);
        for (int polls = 0; polls < DeviceLink::kMaxPollsUntilSilent && link.poll(); ++polls) {
            if (link.reply().code() == reply::kDone) {
                result.response = console_response_text(link.reply());
                traffic.log(TrafficDirection::received, result.response);
                return result;
            }
            if (std::chrono::steady_clock::now() >= deadline)
                return result;
        }
    }
    return result;
}
