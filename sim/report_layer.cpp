#include "sim/report_layer.h"

#include <cstdio>

#include <algorithm>

#include "device/frame_codec.h"
#include "sim/application_firmware.h"
#include "sim/sim_state.h"

namespace sim {
namespace {

constexpr uint8_t kFirstChunk = 0x01;
constexpr uint8_t kLastChunk = 0xC0;
constexpr uint8_t kHasText = 0x40;
constexpr uint8_t kMoreFollows = 0x20;
// A host that never sends the last chunk must not grow the buffer without end.
constexpr size_t kMaxHostText = 1024;

bool long_mode(int report_size) {
    return report_size == kLongReportSize;
}

int text_capacity(int report_size) {
    return long_mode(report_size) ? report_size - 2 : report_size - 1;
}

void append_trace(const std::string& path, uint8_t code) {
    if (path.empty())
        return;
    if (FILE* file = std::fopen(path.c_str(), "a")) {
        std::fprintf(file, "%02X\n", code);
        std::fclose(file);
    }
}

void act_on_frame_text(const std::string& text) {
    uint8_t bytes[kMaxCommandPayload + 8];
    const FrameDecodeResult frame = decode_frame(text, bytes, sizeof(bytes));
    if (!frame.good)
        return;  // the firmware ignores what it cannot read

    SimState& s = state();
    ReceivedCommand command;
    command.code = bytes[1];
    command.payload.assign(bytes + 2, bytes + frame.length - 1);
    command.frame_text = text.substr(0, frame.consumed);
    command.at_ms = monotonic_ms();
    keep_bounded(s.observed.received);
    s.observed.received.push_back(command);
    append_trace(s.trace_file, command.code);

    handle_command(command.code, command.payload);

    if (s.faults.commands_until_unplug > 0 && --s.faults.commands_until_unplug == 0) {
        drop_off_bus();
    }
}

void take_text_chunk(const uint8_t* report, size_t length, int report_size) {
    Traffic& traffic = state().traffic;
    auto byte_at = [&](size_t i) -> uint8_t { return i < length ? report[i] : 0; };
    const uint8_t flags = byte_at(1);
    size_t count;
    size_t text_start;
    if (long_mode(report_size)) {
        count = byte_at(2);
        text_start = 3;
    } else {
        count = (flags >> 1) & 0x07;
        text_start = 2;
    }
    count = std::min<size_t>(count, static_cast<size_t>(text_capacity(report_size)));

    if (flags & kFirstChunk) {
        traffic.host_text.clear();
        traffic.host_frame_open = true;
    }
    if (!traffic.host_frame_open)
        return;  // a stray continuation without its beginning
    for (size_t i = 0; i < count; ++i)
        traffic.host_text.push_back(static_cast<char>(byte_at(text_start + i)));
    if (traffic.host_text.size() > kMaxHostText) {
        traffic.host_text.clear();
        traffic.host_frame_open = false;
        return;
    }
    if ((flags & kLastChunk) == kLastChunk) {
        const std::string text = std::move(traffic.host_text);
        traffic.host_text.clear();
        traffic.host_frame_open = false;
        act_on_frame_text(text);
    }
}

const char kUpperHex[] = "0123456789ABCDEF";

void add_to_hex_byte(std::string& text, size_t pos, int delta) {
    if (pos + 1 >= text.size())
        return;
    const int high = frame_hex_digit(text[pos]);
    const int low = frame_hex_digit(text[pos + 1]);
    if (high < 0 || low < 0)
        return;
    const uint8_t value = static_cast<uint8_t>((high << 4 | low) + delta);
    text[pos] = kUpperHex[value >> 4];
    text[pos + 1] = kUpperHex[value & 0x0F];
}

// The armed fault spoils the next frame that goes on the wire, whatever it is. A frame
// without any of the letters A-F has no lower-case form and goes out unchanged.
std::string spoil_next_frame(std::string text) {
    Faults& faults = state().faults;
    const ReplyFault fault = faults.next_reply_fault;
    faults.next_reply_fault = ReplyFault::none;
    if (faults.corruption_from_call && fault != ReplyFault::none) {
        faults.corruption_from_call = false;
        faults.call_fault_struck = true;
    }
    const size_t checksum_pos = text.size() >= 3 ? text.size() - 3 : 0;
    switch (fault) {
        case ReplyFault::none:
            break;
        case ReplyFault::lower_case:
            for (char& c : text) {
                if (c >= 'A' && c <= 'F')
                    c = static_cast<char>(c - 'A' + 'a');
            }
            break;
        case ReplyFault::bad_checksum:
            add_to_hex_byte(text, checksum_pos, 1);
            break;
        case ReplyFault::wrong_length:
            // L one too high and the checksum made to match, so only the length disagrees.
            add_to_hex_byte(text, 1, 1);
            add_to_hex_byte(text, checksum_pos, 1);
            break;
    }
    return text;
}

void put_reports(std::vector<std::vector<uint8_t>> reports) {
    auto& queue = state().traffic.input_reports;
    for (auto& report : reports)
        queue.push_back(std::move(report));
}

void put_frame_text(const std::string& text, int report_size) {
    put_reports(text_to_input_reports(text, report_size, state().faults.chunk_limit));
}

// The device speaks only when asked. A poll releases whatever it has to say unasked (log
// lines, raw text) and then the next reply, each in its own run of reports. An error dump
// ends the poll's answer: the host reads it until the device falls silent.
void answer_poll(int report_size) {
    SimState& s = state();
    ++s.observed.polls;
    firmware_poll_tick();

    Traffic& traffic = s.traffic;
    while (!traffic.unasked.empty()) {
        const Output output = std::move(traffic.unasked.front());
        traffic.unasked.pop_front();
        if (output.kind == Output::Kind::error_dump) {
            put_reports(error_dump_reports(output.lines, report_size));
            return;
        }
        put_frame_text(spoil_next_frame(output.text), report_size);
    }
    if (traffic.replies.empty())
        return;
    std::string text = spoil_next_frame(traffic.replies.front().text);
    traffic.replies.pop_front();
    if (s.faults.two_frames_in_one_run && !traffic.replies.empty()) {
        text += traffic.replies.front().text;
        traffic.replies.pop_front();
    }
    put_frame_text(text, report_size);
}

}  // namespace

void take_output_report(const uint8_t* report, size_t length, int report_size) {
    if (length < 2)
        return;
    if (report[1] == kPollFlags) {
        answer_poll(report_size);
    } else {
        take_text_chunk(report, length, report_size);
    }
}

std::vector<std::vector<uint8_t>> text_to_input_reports(std::string_view text, int report_size,
                                                        int chunk_limit) {
    const size_t capacity = static_cast<size_t>(text_capacity(report_size));
    const size_t limit = chunk_limit >= 1 && static_cast<size_t>(chunk_limit) < capacity
                             ? static_cast<size_t>(chunk_limit)
                             : capacity;
    const size_t header = long_mode(report_size) ? 2 : 1;
    std::vector<std::vector<uint8_t>> reports;
    size_t pos = 0;
    do {
        const size_t count = std::min(limit, text.size() - pos);
        const bool more = pos + count < text.size();
        std::vector<uint8_t> report(static_cast<size_t>(report_size), 0);
        uint8_t flags = kHasText | (more ? kMoreFollows : 0);
        if (long_mode(report_size)) {
            report[1] = static_cast<uint8_t>(count);
        } else {
            flags |= static_cast<uint8_t>(count << 1);
        }
        report[0] = flags;
        std::copy_n(text.data() + pos, count, report.begin() + header);
        reports.push_back(std::move(report));
        pos += count;
    } while (pos < text.size());
    return reports;
}

std::vector<std::vector<uint8_t>> error_dump_reports(const std::vector<std::string>& lines,
                                                     int report_size) {
    const size_t size = static_cast<size_t>(report_size);
    std::vector<std::vector<uint8_t>> reports;
    reports.emplace_back(size, 0xAA);
    for (const std::string& line : lines) {
        size_t pos = 0;
        do {
            const size_t count = std::min(size, line.size() - pos);
            std::vector<uint8_t> report(size, 0);
            std::copy_n(line.data() + pos, count, report.begin());
            reports.push_back(std::move(report));
            pos += count;
        } while (pos < line.size());
    }
    return reports;
}

}  // namespace sim
