#include "device/frame_codec.h"

#include <algorithm>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

void append_hex(std::string& text, uint8_t byte) {
    text.push_back(kHexDigits[byte >> 4]);
    text.push_back(kHexDigits[byte & 0x0F]);
}

}  // namespace

uint8_t frame_checksum(const uint8_t* bytes, size_t count) {
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i] + 0x55u;
    return static_cast<uint8_t>(sum);
}

std::string encode_frame(uint8_t code, const uint8_t* payload, size_t count) {
    if (count > static_cast<size_t>(kMaxCommandPayload))
        return {};
    std::string text;
    text.reserve(2 * count + 8);
    const uint8_t length = static_cast<uint8_t>(count + 1);
    unsigned sum = length + code + 0xAAu;
    text.push_back('!');
    append_hex(text, length);
    append_hex(text, code);
    for (size_t i = 0; i < count; ++i) {
        append_hex(text, payload[i]);
        sum += payload[i] + 0x55u;
    }
    append_hex(text, static_cast<uint8_t>(sum));
    text.push_back('#');
    return text;
}

int frame_hex_digit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

FrameDecodeResult decode_frame(std::string_view text, uint8_t* out, size_t capacity) {
    FrameDecodeResult result;
    size_t pos = 1;  // after "!"
    size_t count = 0;
    bool digits_ok = !text.empty() && text[0] == '!';
    while (pos < text.size() && text[pos] != '#') {
        if (pos + 1 >= text.size() || text[pos + 1] == '#') {
            digits_ok = false;  // a lone digit
            pos += 1;
            continue;
        }
        const int high = frame_hex_digit(text[pos]);
        const int low = frame_hex_digit(text[pos + 1]);
        if (high < 0 || low < 0 || count >= capacity) {
            digits_ok = false;
        } else {
            out[count++] = static_cast<uint8_t>(high << 4 | low);
        }
        pos += 2;
    }
    result.consumed = pos < text.size() ? pos + 1 : text.size();
    result.length = static_cast<int>(count);
    // L = 0 passes the length and checksum rules but carries no reply code: byte 1 would be the
    // checksum, read as a code. Such a frame is wrongly sized, like any other.
    result.good = digits_ok && count >= 3 && out[0] == count - 2 &&
                  out[count - 1] == frame_checksum(out, count - 1);
    return result;
}

std::vector<std::vector<uint8_t>> frame_to_reports(std::string_view frame_text, int report_size) {
    std::vector<std::vector<uint8_t>> reports;
    const bool long_mode = report_size == kLongReportSize;
    const size_t header = long_mode ? 2 : 1;
    size_t remaining = frame_text.size();
    size_t offset = 0;
    bool first = true;
    while (remaining > 0) {
        const size_t chunk = std::min(static_cast<size_t>(report_size) - header, remaining);
        remaining -= chunk;
        std::vector<uint8_t> report(static_cast<size_t>(report_size) + 1, 0);
        uint8_t flags = (first ? 0x01 : 0x00) | (remaining == 0 ? 0xC0 : 0x00);
        if (long_mode) {
            report[2] = static_cast<uint8_t>(chunk);
        } else {
            flags |= static_cast<uint8_t>(chunk << 1);
        }
        report[1] = flags;
        std::copy_n(frame_text.data() + offset, chunk, report.begin() + 1 + header);
        offset += chunk;
        reports.push_back(std::move(report));
        first = false;
    }
    return reports;
}

std::vector<uint8_t> poll_report(int report_size) {
    std::vector<uint8_t> report(static_cast<size_t>(report_size) + 1, 0);
    report[1] = kPollFlags;
    return report;
}

InputChunk parse_input_report(const uint8_t* report, int report_size) {
    InputChunk chunk;
    const uint8_t flags = report[0];
    chunk.has_text = (flags & 0x40) != 0;
    chunk.more = (flags & 0x20) != 0;
    if (!chunk.has_text)
        return chunk;
    if (report_size == kLongReportSize) {
        const size_t count = std::min<size_t>(report[1], kLongReportSize - 2);
        chunk.text = std::string_view(reinterpret_cast<const char*>(report + 2), count);
    } else {
        const size_t capacity = static_cast<size_t>(report_size) - 1;
        const size_t count = std::min<size_t>((flags >> 1) & 0x0F, capacity);
        chunk.text = std::string_view(reinterpret_cast<const char*>(report + 1), count);
    }
    return chunk;
}

bool is_error_dump_report(const uint8_t* report, int report_size) {
    return std::all_of(report, report + report_size, [](uint8_t b) { return b == 0xAA; });
}
