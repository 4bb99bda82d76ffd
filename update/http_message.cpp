#include "update/http_message.h"

#include <cstring>
#include <limits>

namespace {

constexpr char kLengthField[] = "Content-Length: ";
constexpr size_t kLengthFieldSize = sizeof kLengthField - 1;
// Installers are far smaller; a larger figure is a broken or hostile server.
constexpr size_t kMaxContentLength = std::numeric_limits<int32_t>::max();

// Leading blanks, an optional "+" and the leading digits, as atoi reads them, but never past
// the end of the line and never overflowing. Zero when there is no usable number.
size_t read_length(const char* text, const char* end) {
    while (text < end && (*text == ' ' || *text == '\t'))
        ++text;
    if (text < end && *text == '+')
        ++text;
    size_t value = 0;
    for (; text < end && *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + static_cast<size_t>(*text - '0');
        if (value > kMaxContentLength)
            return 0;
    }
    return value;
}

bool is_empty_line(const char* line, const char* end) {
    for (; line < end; ++line) {
        if (*line != '\r')
            return false;
    }
    return true;
}

}  // namespace

std::string encode_get_request(const std::string& host, uint16_t port, const std::string& path) {
    std::string request = "GET http://" + host;
    if (port != 80)
        request += ":" + std::to_string(port);
    return request + path + " HTTP/1.0\r\n\r\n";
}

ResponseHead parse_response_head(const char* data, size_t size) {
    ResponseHead head;
    const size_t scanned = size < kHeaderScanLimit ? size : kHeaderScanLimit;
    const char* end = data + scanned;
    size_t length = 0;
    bool conflicting = false;
    for (const char* line = data; line < end;) {
        const char* lf = static_cast<const char*>(std::memchr(line, '\n', end - line));
        if (!lf)
            break;
        if (is_empty_line(line, lf)) {
            if (length == 0 || conflicting) {
                head.status = HeadStatus::failed;
            } else {
                head.status = HeadStatus::complete;
                head.body_offset = static_cast<size_t>(lf + 1 - data);
                head.content_length = length;
            }
            return head;
        }
        if (static_cast<size_t>(lf - line) >= kLengthFieldSize &&
            std::memcmp(line, kLengthField, kLengthFieldSize) == 0) {
            const size_t value = read_length(line + kLengthFieldSize, lf);
            // Two different lengths leave no way to tell where the body ends.
            if (length != 0 && value != length)
                conflicting = true;
            if (value != 0)
                length = value;
            else
                conflicting = true;
        }
        line = lf + 1;
    }
    head.status = size >= kHeaderScanLimit ? HeadStatus::failed : HeadStatus::incomplete;
    return head;
}
