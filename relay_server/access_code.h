// The one-time codes a technician reads out to the customer: nine random digits in three
// groups, typed into the program's password field.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace relay_server {

constexpr size_t kCodeDigits = 9;
constexpr size_t kCodeRandomBytes = 8;
using CanonicalCode = std::array<char, kCodeDigits>;

// "482-913-507" from 8 random bytes (their value modulo 10^9; the bias is below 10^-9).
std::string format_access_code(const std::array<uint8_t, kCodeRandomBytes>& random);
// The nine digits of a code as typed: dashes and spaces are left out; nothing when anything
// else is there or the count is wrong.
std::optional<CanonicalCode> canonical_code(std::string_view typed);
// Takes the same time whatever the digits, so a wrong guess learns nothing from the answer's
// timing.
bool codes_equal(const CanonicalCode& a, const CanonicalCode& b);
// From the system's random source; false when it gives none.
bool system_random(uint8_t* bytes, size_t count);

}  // namespace relay_server
