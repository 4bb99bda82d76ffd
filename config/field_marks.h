// When the page draws a field in red: what it shows differs from its reference value.
#pragma once

#include <string>

#include "app/number_text.h"

inline bool choice_marked(int shown_index, int reference) {
    return shown_index != reference;
}
// The entry counts by its leading digits, as the device would receive it.
inline bool level_marked(const std::string& level_text, int reference) {
    return leading_int(level_text) != reference;
}
