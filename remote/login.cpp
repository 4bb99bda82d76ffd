#include "remote/login.h"

std::optional<std::string> encode_login_line(const std::string& password) {
    if (password.size() > kMaxPasswordBytes)
        return std::nullopt;
    return password + "\n";
}

std::optional<std::string> decode_login_line(const std::string& line) {
    const size_t end = line.find('\n');
    if (end == std::string::npos || end > kMaxPasswordBytes)
        return std::nullopt;
    return line.substr(0, end);
}

bool login_accepted(const char* answer, size_t size) {
    return size == kLoginAnswerSize && answer[0] == 'O' && answer[1] == 'K';
}
