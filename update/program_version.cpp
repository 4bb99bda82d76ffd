#include "update/program_version.h"

#include <limits>

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// One "%d": blanks, an optional "+", at least one digit.
bool read_number(std::string_view text, size_t& at, int& value) {
    while (at < text.size() && is_blank(text[at]))
        ++at;
    if (at < text.size() && text[at] == '+')
        ++at;
    const size_t first = at;
    long long number = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        number = number * 10 + (text[at] - '0');
        if (number > std::numeric_limits<int>::max())
            return false;
    }
    value = static_cast<int>(number);
    return at > first;
}

bool read_dot(std::string_view text, size_t& at) {
    if (at < text.size() && text[at] == '.') {
        ++at;
        return true;
    }
    return false;
}

}  // namespace

bool parse_version_body(std::string_view body, ProgramVersion& version) {
    constexpr std::string_view kTag = "VERSION";
    if (body.substr(0, kTag.size()) != kTag)
        return false;
    size_t at = kTag.size();
    ProgramVersion found;
    if (!read_number(body, at, found.major) || !read_dot(body, at) ||
        !read_number(body, at, found.minor) || !read_dot(body, at) ||
        !read_number(body, at, found.patch))
        return false;
    version = found;
    return true;
}

bool is_own_version(const ProgramVersion& offered) {
    return offered.major == kOwnVersion.major && offered.minor == kOwnVersion.minor;
}

ProgramVersion installer_version(const ProgramVersion& offered) {
    return {offered.major, offered.minor, 0};
}

std::string version_query_path() {
    return std::string("/programator/") + kUpdateModelName + "_version";
}

std::string installer_download_path(const ProgramVersion& version) {
    return std::string("/programator/") + kUpdateModelName + "_setup_" +
           std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch) + ".exe";
}
