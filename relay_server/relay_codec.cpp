#include "relay_server/relay_codec.h"

#include <cstdio>
#include <vector>

namespace relay_server {

namespace {

std::vector<std::string_view> split_words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && line[at] == ' ')
            ++at;
        const size_t start = at;
        while (at < line.size() && line[at] != ' ')
            ++at;
        if (at > start)
            words.push_back(line.substr(start, at - start));
    }
    return words;
}

// A decimal number of at most 5 digits within [low, high].
std::optional<int> parse_number(std::string_view text, int low, int high) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

bool printable(std::string_view line) {
    for (char c : line)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E)
            return false;
    return true;
}

}  // namespace

LoginScan scan_login_line(std::string_view received, std::string& password) {
    const size_t end = received.find('\n');
    if (end == std::string_view::npos)
        return received.size() > kMaxLoginPassword ? LoginScan::too_long : LoginScan::incomplete;
    if (end > kMaxLoginPassword)
        return LoginScan::too_long;
    password.assign(received.substr(0, end));
    return LoginScan::complete;
}

std::optional<TechnicianRequest> parse_technician_request(std::string_view line,
                                                          std::string& error) {
    if (!printable(line)) {
        error = "request is not plain text";
        return std::nullopt;
    }
    const std::vector<std::string_view> words = split_words(line);
    if (words.empty()) {
        error = "empty request";
        return std::nullopt;
    }
    TechnicianRequest request;
    const std::string_view verb = words[0];
    const size_t arguments = words.size() - 1;
    if (verb == "NEW" && arguments <= 1) {
        request.kind = TechnicianRequest::Kind::new_code;
        if (arguments == 1) {
            const auto minutes = parse_number(words[1], 1, kMaxMinutes);
            if (!minutes) {
                error = "minutes must be 1 to 1440";
                return std::nullopt;
            }
            request.minutes = *minutes;
        }
        return request;
    }
    if (verb == "SESSIONS" && arguments == 0) {
        request.kind = TechnicianRequest::Kind::sessions;
        return request;
    }
    if (verb == "ATTACH" && (arguments == 1 || arguments == 2)) {
        request.kind = TechnicianRequest::Kind::attach;
        request.code = std::string(words[1]);
        if (arguments == 2) {
            const auto seconds = parse_number(words[2], 0, kMaxAttachWaitSeconds);
            if (!seconds) {
                error = "seconds must be 0 to 600";
                return std::nullopt;
            }
            request.seconds = *seconds;
        }
        return request;
    }
    if (verb == "CLOSE" && arguments == 1) {
        request.kind = TechnicianRequest::Kind::close;
        request.code = std::string(words[1]);
        return request;
    }
    error = "unknown request";
    return std::nullopt;
}

std::string format_request(const TechnicianRequest& request) {
    switch (request.kind) {
        case TechnicianRequest::Kind::new_code:
            return "NEW " + std::to_string(request.minutes) + "\n";
        case TechnicianRequest::Kind::sessions:
            return "SESSIONS\n";
        case TechnicianRequest::Kind::attach:
            return "ATTACH " + request.code + " " + std::to_string(request.seconds) + "\n";
        case TechnicianRequest::Kind::close:
            return "CLOSE " + request.code + "\n";
    }
    return "";
}

const char* session_state_name(SessionState state) {
    switch (state) {
        case SessionState::waiting:
            return "waiting";
        case SessionState::connected:
            return "connected";
        case SessionState::attached:
            return "attached";
    }
    return "waiting";
}

std::string format_session_line(SessionState state, const std::string& peer, long seconds_left) {
    return std::string("SESSION ") + session_state_name(state) + " " + (peer.empty() ? "-" : peer) +
           " " + std::to_string(seconds_left < 0 ? 0 : seconds_left) + "\n";
}

RecordScan scan_record(std::string_view stream, std::string_view& record, size_t& consumed) {
    if (stream.size() < kRecordHeader)
        return RecordScan::incomplete;
    const size_t length = static_cast<size_t>(static_cast<unsigned char>(stream[0])) << 8 |
                          static_cast<unsigned char>(stream[1]);
    if (length == 0 || length > kMaxRecord)
        return RecordScan::invalid;
    if (stream.size() < kRecordHeader + length)
        return RecordScan::incomplete;
    record = stream.substr(kRecordHeader, length);
    consumed = kRecordHeader + length;
    return RecordScan::complete;
}

std::optional<std::string> encode_record(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxRecord)
        return std::nullopt;
    std::string record;
    record.push_back(static_cast<char>(bytes.size() >> 8));
    record.push_back(static_cast<char>(bytes.size() & 0xFF));
    record.append(bytes);
    return record;
}

}  // namespace relay_server
