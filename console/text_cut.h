// Cutting text that came from a GTK entry (UTF-8) to a byte budget.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// At most max_bytes bytes, never ending inside a UTF-8 character: the text goes back into an
// entry, and GTK refuses text that is not valid UTF-8.
inline std::string cut_utf8(std::string_view text, size_t max_bytes) {
    if (text.size() <= max_bytes)
        return std::string(text);
    size_t length = max_bytes;
    while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
        --length;
    return std::string(text.substr(0, length));
}
