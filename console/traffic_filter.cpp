#include "console/traffic_filter.h"

#include <algorithm>

#include "console/text_cut.h"
#include "console/traffic_log.h"

namespace {

constexpr char kTagMark = '*';

std::string_view line_tag(std::string_view line) {
    size_t start = kTimeStampLength + 1;
    if (start < line.size() && line[start] == ' ')
        ++start;
    const std::string_view rest = line.substr(std::min(start, line.size()));
    const size_t end = rest.find_first_of(std::string_view("\0 \r\n", 4));
    return rest.substr(0, std::min({end, rest.size(), kFilterTagMaxLength}));
}

}  // namespace

bool line_passes_filter(std::string_view line, const TrafficFilter& filter) {
    if (!filter.enabled)
        return true;
    if (line.size() <= kTimeStampLength || line[kTimeStampLength] != kTagMark)
        return filter.show_untagged;
    const std::string_view tag = line_tag(line);
    for (int i = 0; i < kFilterSlotCount; ++i) {
        const std::string& slot = filter.slots[static_cast<size_t>(i)];
        if ((filter.slot_mask & (1u << i)) && (slot.empty() || slot == tag))
            return true;
    }
    return false;
}

std::string filtered_traffic_text(std::string_view text, const TrafficFilter& filter) {
    if (!filter.enabled)
        return std::string(text);
    std::string shown;
    shown.reserve(text.size());
    while (!text.empty()) {
        const size_t end = text.find('\n');
        const size_t length = end == std::string_view::npos ? text.size() : end + 1;
        const std::string_view line = text.substr(0, length);
        if (line_passes_filter(line, filter))
            shown.append(line);
        text.remove_prefix(length);
    }
    return shown;
}

std::string visible_added_text(std::string_view text, const TrafficFilter& filter) {
    std::string shown;
    shown.reserve(text.size());
    for (;;) {
        const size_t end = text.find('\n');
        const std::string_view piece = text.substr(0, end);
        if (line_passes_filter(piece, filter))
            shown.append(piece);
        if (end == std::string_view::npos)
            return shown;
        text.remove_prefix(end + 1);
    }
}

TrafficFilter starting_traffic_filter(const UserSettings& settings) {
    TrafficFilter filter;
    for (size_t i = 0; i < filter.slots.size(); ++i)
        filter.slots[i] = cut_utf8(settings.filter_strings[i], kFilterTagMaxLength);
    return filter;
}

void apply_filter_choice(const FilterChoice& choice, TrafficFilter& filter,
                         UserSettings& settings) {
    filter.enabled = true;
    filter.show_untagged = choice.show_untagged;
    for (size_t i = 0; i < filter.slots.size(); ++i) {
        filter.slots[i] = cut_utf8(choice.slots[i], kFilterTagMaxLength);
        settings.filter_strings[i] = filter.slots[i];
    }
    filter.slot_mask = choice.slot_mask & ((1u << kFilterSlotCount) - 1);
    save_user_settings(settings);
}
