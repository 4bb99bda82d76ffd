// The console's tag filter. A line whose text starts with "*" and a tag word is shown only
// when its tag is enabled; every other line only when untagged lines are.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/user_settings.h"

constexpr int kFilterSlotCount = kFilterStringCount;
constexpr size_t kFilterTagMaxLength = kFilterStringMaxLength;

struct TrafficFilter {
    bool enabled = false;
    bool show_untagged = false;
    std::array<std::string, kFilterSlotCount> slots;  // tag texts, each at most 49 bytes
    uint32_t slot_mask = 0;                           // bit i enables slot i
};

// For a line that begins with its time stamp. An enabled empty slot lets every tagged line
// through; tags compare case-sensitively.
bool line_passes_filter(std::string_view line, const TrafficFilter& filter);

// The lines of recorded text (each up to and including its LF) that pass.
std::string filtered_traffic_text(std::string_view text, const TrafficFilter& filter);
// What a view shows of newly recorded text: each piece between LFs, without its LF (a CR
// before it stays and ends the line in the view), when it passes.
std::string visible_added_text(std::string_view text, const TrafficFilter& filter);

// The filter a program starts with: off, its slot texts from the user settings.
TrafficFilter starting_traffic_filter(const UserSettings& settings);

// What the user chose in the filter settings: it switches the filter on and the slot texts
// (cut to 49 bytes) are saved in the user settings file.
struct FilterChoice {
    bool show_untagged = false;
    std::array<std::string, kFilterSlotCount> slots;
    uint32_t slot_mask = 0;
};
void apply_filter_choice(const FilterChoice& choice, TrafficFilter& filter, UserSettings& settings);
