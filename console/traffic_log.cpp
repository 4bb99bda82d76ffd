#include "console/traffic_log.h"

#include <cstdio>

#include "platform/local_time.h"

namespace {

constexpr size_t kStoreCapacity = 200000;
constexpr size_t kDropBytes = 100000;
constexpr size_t kMinimumRoom = 2048;

std::string g_store;
bool g_line_start = true;

std::string time_stamp(TrafficDirection direction) {
    const LocalTime now = local_time_now();
    char stamp[40];
    std::snprintf(stamp, sizeof stamp, "[%04d.%02d.%02d %02d:%02d:%02d]%c ", now.year, now.month,
                  now.day, now.hour, now.minute, now.second,
                  direction == TrafficDirection::sent ? '<' : '>');
    return stamp;
}

}  // namespace

void log_traffic(TrafficDirection direction, std::string_view source) {
    if (g_store.capacity() < kStoreCapacity)
        g_store.reserve(kStoreCapacity);
    if (kStoreCapacity - g_store.size() <= kMinimumRoom) {
        g_store.erase(0, kDropBytes);
    }
    std::string text;
    if (direction == TrafficDirection::sent) {
        g_line_start = true;
        text.push_back('\n');
    }
    for (const char byte : source) {
        const char c = static_cast<char>(byte & 0x7F);
        if (c == 0)
            break;
        if (g_line_start) {
            g_line_start = false;
            text += time_stamp(direction);
        }
        if (c == '\n') {
            text += "\r\n";
            g_line_start = true;
        } else if (c != '\r') {
            text.push_back(c);
        }
    }
    // A single text larger than the guaranteed room keeps its newest part, so the store
    // never grows past its capacity.
    const size_t room = kStoreCapacity - 1 - g_store.size();
    if (text.size() > room)
        text.erase(0, text.size() - room);
    g_store += text;
}

const std::string& traffic_text() {
    return g_store;
}

void clear_traffic() {
    g_store.clear();
}
