// The login to the remote-access server: the password line the program sends and the answer
// it waits for.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The line is built in a 40-byte area: the password, LF and a terminating NUL.
constexpr size_t kMaxPasswordBytes = 38;
constexpr size_t kLoginAnswerSize = 2;

// The password as typed (UTF-8) and one LF; nothing when the password is too long to send
// whole, since a cut password would only fail the login with a misleading message.
std::optional<std::string> encode_login_line(const std::string& password);
// The password of a complete line, for the server side of tests; nothing without the LF.
std::optional<std::string> decode_login_line(const std::string& line);
// "OK" logs in; any other two bytes refuse.
bool login_accepted(const char* answer, size_t size);
