#include "remote/technician_channel.h"

#include <chrono>

#include "remote/relay_client_codec.h"

namespace {

constexpr size_t kMaxCodeLength = 64;
constexpr size_t kMaxAnswerLine = 200;
// The server answers at once unless it waits for the program; then at most `seconds`.
constexpr int kAnswerGraceMs = 5000;
constexpr int kSendTimeoutMs = 10000;

}  // namespace

bool valid_session_code(const std::string& code) {
    if (code.empty() || code.size() > kMaxCodeLength)
        return false;
    for (const char c : code) {
        if (c <= ' ' || c > '~')
            return false;
    }
    return true;
}

AttachResult TechnicianChannel::attach(const std::string& socket_path, const std::string& code,
                                       int seconds) {
    AttachResult result;
    if (!socket_.connect(socket_path, result.text))
        return result;
    const std::string request = "ATTACH " + code + " " + std::to_string(seconds) + "\n";
    result.outcome = AttachResult::Outcome::no_answer;
    if (!socket_.send_all(request.data(), request.size(), kSendTimeoutMs)) {
        result.text = "";
        return result;
    }
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(seconds * 1000 + kAnswerGraceMs);
    std::string received;
    size_t end = std::string::npos;
    while ((end = received.find('\n')) == std::string::npos && received.size() <= kMaxAnswerLine) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0 || socket_.receive(received, kMaxAnswerLine + 1, static_cast<int>(left)) !=
                             LocalRead::data)
            break;
    }
    if (end == std::string::npos) {
        result.text = received.substr(0, kMaxAnswerLine);
        socket_.close();
        return result;
    }
    std::string line = received.substr(0, end);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line == "OK") {
        early_ = received.substr(end + 1);
        result.outcome = AttachResult::Outcome::attached;
        result.text.clear();
        return result;
    }
    socket_.close();
    // The server's words end up on the technician's terminal: no control characters.
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < ' ' || c == 0x7F)
            c = '?';
    }
    if (line.compare(0, 4, "ERR ") == 0 || line == "ERR") {
        result.outcome = AttachResult::Outcome::refused;
        result.text = line.size() > 4 ? line.substr(4) : "";
        return result;
    }
    result.text = line;
    return result;
}

bool TechnicianChannel::send(const std::string& commands) {
    const std::string record = relay_client::technician_record(commands);
    return !record.empty() && socket_.send_all(record.data(), record.size(), kSendTimeoutMs);
}

ChannelRead TechnicianChannel::receive(std::string& into, int timeout_ms) {
    if (!early_.empty()) {
        into += early_;
        early_.clear();
        return ChannelRead::data;
    }
    switch (socket_.receive(into, 65536, timeout_ms)) {
        case LocalRead::data:
            return ChannelRead::data;
        case LocalRead::timed_out:
            return ChannelRead::timed_out;
        case LocalRead::closed:
            break;
    }
    return ChannelRead::closed;
}
