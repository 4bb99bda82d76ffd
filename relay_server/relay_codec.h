// The bytes qn718-relay reads and writes, as pure functions: the program's login line, the
// technician's request lines and answers, and the length-prefixed records a technician sends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace relay_server {

// The program builds its login line in a 40-byte area: the password, LF and a NUL.
constexpr size_t kMaxLoginPassword = 38;
constexpr size_t kMaxRequestLine = 200;
constexpr size_t kMaxRecord = 8192;
constexpr size_t kRecordHeader = 2;
constexpr int kDefaultMinutes = 30;
constexpr int kMaxMinutes = 1440;
constexpr int kMaxAttachWaitSeconds = 600;

enum class LoginScan { incomplete, complete, too_long };

// Looks for the LF that ends the password; the password is the bytes before it.
LoginScan scan_login_line(std::string_view received, std::string& password);

struct TechnicianRequest {
    enum class Kind { new_code, sessions, attach, close };
    Kind kind = Kind::sessions;
    std::string code;
    int minutes = kDefaultMinutes;  // NEW
    int seconds = 0;                // ATTACH: how long to wait for the program
};

// One request line without its LF; nothing and a reason for the "ERR" answer when it is not
// one of the four requests with valid arguments.
std::optional<TechnicianRequest> parse_technician_request(std::string_view line,
                                                          std::string& error);
std::string format_request(const TechnicianRequest& request);

enum class SessionState { waiting, connected, attached };
const char* session_state_name(SessionState state);
std::string format_session_line(SessionState state, const std::string& peer, long seconds_left);

enum class RecordScan { incomplete, complete, invalid };

// The first record of a technician's stream: a big-endian length of 1..8192, then that many
// bytes. consumed is the bytes it took, header included; a length of 0 or over 8192 is
// invalid and ends the session.
RecordScan scan_record(std::string_view stream, std::string_view& record, size_t& consumed);
// The record carrying these bytes; nothing when they do not fit one record.
std::optional<std::string> encode_record(std::string_view bytes);

}  // namespace relay_server
