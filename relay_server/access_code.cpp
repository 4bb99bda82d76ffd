#include "relay_server/access_code.h"

#include <fstream>
#if defined(__linux__)
#include <sys/random.h>
#endif

namespace relay_server {

std::string format_access_code(const std::array<uint8_t, kCodeRandomBytes>& random) {
    uint64_t value = 0;
    for (uint8_t byte : random)
        value = value << 8 | byte;
    value %= 1000000000ULL;
    std::string code(kCodeDigits + 2, '-');
    for (size_t digit = kCodeDigits; digit-- > 0;) {
        code[digit + digit / 3] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    return code;
}

std::optional<CanonicalCode> canonical_code(std::string_view typed) {
    CanonicalCode code{};
    size_t count = 0;
    for (char c : typed) {
        if (c == '-' || c == ' ')
            continue;
        if (c < '0' || c > '9' || count == kCodeDigits)
            return std::nullopt;
        code[count++] = c;
    }
    if (count != kCodeDigits)
        return std::nullopt;
    return code;
}

bool codes_equal(const CanonicalCode& a, const CanonicalCode& b) {
    volatile unsigned char difference = 0;
    for (size_t i = 0; i < kCodeDigits; ++i)
        difference = difference | static_cast<unsigned char>(a[i] ^ b[i]);
    return difference == 0;
}

bool system_random(uint8_t* bytes, size_t count) {
#if defined(__linux__)
    size_t got = 0;
    while (got < count) {
        const ssize_t n = getrandom(bytes + got, count - got, 0);
        if (n <= 0)
            return false;
        got += static_cast<size_t>(n);
    }
    return true;
#else
    std::ifstream source("/dev/urandom", std::ios::binary);
    return static_cast<bool>(
        source.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(count)));
#endif
}

}  // namespace relay_server
