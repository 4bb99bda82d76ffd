#include "console/traffic_log.h"

#include <algorithm>
#include <cstdio>

std::string time_stamp(const LocalTime& when, TrafficDirection direction) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "[%04d.%02d.%02d %02d:%02d:%02d]%c ", when.year, when.month,
                  when.day, when.hour, when.minute, when.second,
                  direction == TrafficDirection::sent ? '<' : '>');
    return stamp;
}

std::string TrafficStore::format(TrafficDirection direction, std::string_view source,
                                 const LocalTime& now) {
    std::string text;
    if (direction == TrafficDirection::sent) {
        line_start_ = true;
        text.push_back('\n');
    }
    const std::string stamp = time_stamp(now, direction);
    for (const char byte : source) {
        const char c = static_cast<char>(byte & 0x7F);
        if (c == 0)
            break;
        if (line_start_) {
            line_start_ = false;
            text += stamp;
        }
        if (c == '\n') {
            text += "\r\n";
            line_start_ = true;
        } else if (c != '\r') {
            text.push_back(c);
        }
    }
    return text;
}

// Drops the oldest part when the guaranteed room is no longer free. The cut goes on to the end
// of the line it falls into, so the store always starts with a whole line (the filter reads
// a line's tag at a fixed place behind its stamp); only a single line longer than the whole
// drop is cut in the middle.
bool TrafficStore::make_room() {
    if (kCapacity - 1 - text_.size() >= kGuaranteedRoom)
        return false;
    size_t cut = kDropBytes;
    if (text_[cut - 1] != '\n') {
        const size_t line_end = text_.find('\n', cut);
        if (line_end != std::string::npos)
            cut = line_end + 1;
    }
    text_.erase(0, cut);
    return true;
}

TrafficStore::Added TrafficStore::add(TrafficDirection direction, std::string_view source,
                                      const LocalTime& now) {
    if (text_.capacity() < kCapacity)
        text_.reserve(kCapacity);
    Added added;
    added.text = format(direction, source, now);
    // One text can expand past the guaranteed room (many short lines each get a stamp), so it
    // goes in pieces that each fit.
    std::string_view rest = added.text;
    do {
        if (make_room()) {
            added.shortened = true;
            unlogged_size_ = std::min(unlogged_size_, text_.size());
        }
        const size_t count = std::min(rest.size(), kCapacity - 1 - text_.size());
        text_.append(rest.substr(0, count));
        unlogged_size_ += count;
        rest.remove_prefix(count);
    } while (!rest.empty());
    return added;
}

void TrafficLog::log(TrafficDirection direction, std::string_view text) {
    const TrafficStore::Added added = store_.add(direction, text, local_time_now());
    if (log_file_.is_open()) {
        log_file_.write(added.text);
        store_.mark_logged();
    }
    if (!view_)
        return;
    if (added.shortened)
        view_->traffic_shortened();
    else
        view_->traffic_added(added.text);
}

bool TrafficLog::start_file(const std::string& path) {
    if (!log_file_.open(path))
        return false;
    log_file_.write(store_.unlogged());
    store_.mark_logged();
    return true;
}
