// Reading numbers out of texts the user typed or a file held.
#pragma once

#include <cstdint>
#include <string>

// The number at the start of a text as atoi reads it (white space, sign, digits; else 0),
// without atoi's undefined behaviour on overflow: out-of-range values are clamped.
int32_t leading_int(const std::string& text);
