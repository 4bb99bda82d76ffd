#include "sim/application_firmware.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "device/command_codes.h"
#include "device/frame_codec.h"
#include "sim/bootloader.h"
#include "sim/live_motion.h"
#include "sim/memory_file.h"
#include "sim/sim_state.h"

namespace sim {
namespace {

constexpr int64_t kLogLineEveryMs = 5000;
// Offset and count come first in reply 6, so this many data bytes still fit in one frame.
constexpr int kMaxMemoryReplyData = kMaxCommandPayload - 2;
// A text line follows three bytes in reply 6; its length travels in one byte.
constexpr size_t kMaxTextLineBytes = kMaxCommandPayload - 3;

void save_memory() {
    const SimState& s = state();
    if (!s.memory_file.empty())
        save_memory_file(s.memory_file, s.memory);
}

LiveValues current_values() {
    const SimState& s = state();
    if (!s.firmware.live_motion)
        return {s.firmware.status_bits, s.firmware.speed};
    const uint8_t prog_output = s.memory[kProgOutputAddress - kMemoryWindowStart];
    return live_values_at(monotonic_ms() - s.runtime.motion_start_ms, prog_output);
}

bool speed_available() {
    const SimState& s = state();
    return s.firmware.live_motion || s.firmware.speed_available;
}

void reply_identity() {
    const FirmwareSettings& f = state().firmware;
    queue_reply(reply::kIdentity,
                {static_cast<uint8_t>(f.type_code & 0xFF), static_cast<uint8_t>(f.type_code >> 8),
                 static_cast<uint8_t>(f.firmware_number >> 8),
                 static_cast<uint8_t>(f.firmware_number & 0xFF)});
}

void answer_greeting() {
    SimState& s = state();
    if (s.firmware.greeting_silent)
        return;
    if (s.runtime.greeted) {
        reply_identity();
        return;
    }
    s.runtime.greeted = true;
    queue_reply(reply::kGreeting, {2, 1});
}

void answer_status_character() {
    SimState& s = state();
    if (s.firmware.status_silent)
        return;
    const std::string& sequence = s.firmware.status_sequence;
    char character = '1';
    if (!sequence.empty()) {
        character = sequence[std::min(s.runtime.status_index, sequence.size() - 1)];
        if (s.runtime.status_index < sequence.size())
            ++s.runtime.status_index;
    }
    queue_reply(reply::kDone, {static_cast<uint8_t>(character)});
}

bool inside_window(size_t offset, size_t count) {
    return offset + count <= kMemoryWindowSize;
}

void answer_memory_read(const std::vector<uint8_t>& payload) {
    SimState& s = state();
    if (payload.size() < 2 || s.faults.config_read_silent)
        return;
    const uint8_t offset = payload[0];
    uint8_t count = payload[1];
    if (count > kMaxMemoryReplyData || !inside_window(offset, count))
        return;

    uint8_t reported_offset = offset;
    if (s.faults.config_read_wrong_offset)
        reported_offset = static_cast<uint8_t>(offset + 1);
    if (s.faults.config_read_wrong_count) {
        // As if the firmware had misread the request: it honestly sends the count it read.
        const uint8_t other = count < kMaxMemoryReplyData ? count + 1 : count - 1;
        if (inside_window(offset, other))
            count = other;
    }
    std::vector<uint8_t> reply = {reported_offset, count};
    const auto first = s.memory.begin() + offset;
    reply.insert(reply.end(), first, first + count);

    if (s.runtime.written_since_read && s.faults.readback_differs_at >= 0 &&
        static_cast<size_t>(s.faults.readback_differs_at) < reply.size()) {
        reply[static_cast<size_t>(s.faults.readback_differs_at)] ^= 0xFF;
    }
    s.runtime.written_since_read = false;
    queue_reply(reply::kParameters, reply);
}

void take_memory_write(const std::vector<uint8_t>& payload) {
    SimState& s = state();
    if (payload.size() < 2)
        return;
    const uint8_t offset = payload[0];
    const uint8_t count = payload[1];
    if (payload.size() != static_cast<size_t>(count) + 2 || !inside_window(offset, count))
        return;
    std::copy(payload.begin() + 2, payload.end(), s.memory.begin() + offset);
    s.runtime.written_since_read = true;
    save_memory();
}

void finish_calibration() {
    SimState& s = state();
    s.runtime.calibration_polls_left = -1;
    s.memory[kScaleAddress - kMemoryWindowStart] = s.firmware.calibration_scale;
    save_memory();
    queue_reply(reply::kDone, {});
}

// A repeated command 7 while measuring does not start over: the host repeats it while it waits.
void start_calibration() {
    SimState& s = state();
    if (s.firmware.calibration_silent || s.runtime.calibration_polls_left >= 0)
        return;
    if (s.firmware.calibration_delay_polls <= 0) {
        finish_calibration();
    } else {
        s.runtime.calibration_polls_left = s.firmware.calibration_delay_polls;
    }
}

void answer_status_bits() {
    queue_reply(reply::kStatusBits, {current_values().status_bits});
}

void answer_speed() {
    const float speed = current_values().speed;
    uint32_t bits;
    static_assert(sizeof(bits) == sizeof(speed), "IEEE single precision expected");
    std::memcpy(&bits, &speed, sizeof(bits));
    queue_reply(reply::kSpeedAvailable, {static_cast<uint8_t>(speed_available() ? 1 : 0)});
    queue_reply(reply::kSpeed,
                {static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                 static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 24)});
}

void answer_sub_version() {
    const FirmwareSettings& f = state().firmware;
    if (f.sub_version_silent)
        return;
    queue_reply(reply::kDone, {f.sub_version_a, f.sub_version_b});
}

// Log lines start with a tag ("*CAN") where the console's filter should be able to pick them
// out, and end with a line end, so each is a line of its own there.
std::string log_line_text(int kind = 0) {
    const LiveValues values = current_values();
    const int tenths = static_cast<int>(values.speed * 10.0f);
    char text[80];
    // Integer arithmetic keeps the text free of the locale's decimal sign.
    switch (kind % 4) {
        case 1:
            std::snprintf(text, sizeof(text), "*IO inputs 0x%02X\n", values.status_bits);
            break;
        case 2:
            std::snprintf(text, sizeof(text), "* CAN rx 0x3E9 8 %02X %02X 00 00 00 00 00 00\n",
                          tenths & 0xFF, (tenths >> 8) & 0xFF);
            break;
        case 3:
            std::snprintf(text, sizeof(text), "output check ok\n");
            break;
        default:
            std::snprintf(text, sizeof(text), "*CAN speed %d.%d km/h, status 0x%02X\n", tenths / 10,
                          tenths % 10, values.status_bits);
            break;
    }
    return text;
}

void send_log_lines(const std::vector<uint8_t>& payload) {
    const int count = payload.empty() ? 1 : payload[0];
    for (int i = 0; i < count; ++i)
        queue_log_frame(log_line_text(i));
    queue_reply(reply::kDone, {static_cast<uint8_t>(count)});
}

void send_error_dump() {
    Output dump;
    dump.kind = Output::Kind::error_dump;
    dump.lines = {"PC=1D04 SP=07F0 SR=0081\n", "R0=00 R1=1F R2=84 R3=00\n",
                  "stack 1D04 1C88 0412 0400\n"};
    state().traffic.unasked.push_back(std::move(dump));
    queue_reply(reply::kDone, {});
}

void answer_text_line(const std::vector<uint8_t>& payload) {
    SimState& s = state();
    if (!payload.empty() && payload[0] == 1)
        s.runtime.next_text_line = 0;
    std::string line;
    if (s.runtime.next_text_line < s.firmware.text_lines.size())
        line = s.firmware.text_lines[s.runtime.next_text_line++].substr(0, kMaxTextLineBytes);
    std::vector<uint8_t> reply = {0, static_cast<uint8_t>(line.size()), 0};
    reply.insert(reply.end(), line.begin(), line.end());
    queue_reply(reply::kParameters, reply);
}

}  // namespace

void handle_command(uint8_t code, const std::vector<uint8_t>& payload) {
    switch (code) {
        case command::kGreeting:
            answer_greeting();
            break;
        case command::kIdentify:
            if (!state().firmware.greeting_silent)
                reply_identity();
            break;
        case command::kStatus:
            answer_status_character();
            break;
        case command::kReadParameters:
            answer_memory_read(payload);
            break;
        case command::kWriteParameters:
            take_memory_write(payload);
            break;
        case command::kCalibrate:
            start_calibration();
            break;
        case command::kStatusBits:
            answer_status_bits();
            break;
        case command::kStore:
            break;  // the firmware takes the new block into use; nothing to answer
        case command::kSpeed:
            answer_speed();
            break;
        case command::kSubVersion:
            answer_sub_version();
            break;
        case command::kRemoteSetup:
            break;  // ends the text lines; nothing to answer
        case command::kRemoteTextLine:
            answer_text_line(payload);
            break;
        case command::kRemoteData:
            if (!state().firmware.remote_data_silent)
                queue_reply(reply::kGreeting, {1});
            break;
        case kLogLinesCommand:
            send_log_lines(payload);
            break;
        case kErrorDumpCommand:
            send_error_dump();
            break;
        case command::kEnterBootloader:
            restart_into_bootloader();
            break;
        default:
            break;  // unknown commands are ignored, as by the real firmware
    }
}

void firmware_poll_tick() {
    SimState& s = state();
    if (s.runtime.calibration_polls_left > 0 && --s.runtime.calibration_polls_left == 0) {
        finish_calibration();
    }
    if (s.firmware.log_lines) {
        const int64_t now = monotonic_ms();
        if (now - s.runtime.last_log_line_ms >= kLogLineEveryMs) {
            s.runtime.last_log_line_ms = now;
            queue_log_frame(log_line_text());
        }
    }
    if (s.firmware.answers_every_poll && s.traffic.replies.empty())
        answer_status_bits();
}

void queue_reply(uint8_t code, const std::vector<uint8_t>& payload) {
    SimState& s = state();
    Output output;
    output.text = encode_frame(code, payload.data(), payload.size());
    s.traffic.replies.push_back(std::move(output));
}

void queue_log_frame(const std::string& text) {
    const size_t count = std::min(text.size(), static_cast<size_t>(kMaxCommandPayload));
    Output output;
    output.text =
        encode_frame(reply::kLogLine, reinterpret_cast<const uint8_t*>(text.data()), count);
    state().traffic.unasked.push_back(std::move(output));
}

}  // namespace sim
