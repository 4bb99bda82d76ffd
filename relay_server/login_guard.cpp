#include "relay_server/login_guard.h"

namespace relay_server {

bool LoginGuard::allowed(const std::string& address, Clock::time_point now) const {
    const auto found = entries_.find(address);
    return found == entries_.end() || now >= found->second.blocked_until;
}

void LoginGuard::record_failure(const std::string& address, Clock::time_point now) {
    auto found = entries_.find(address);
    if (found == entries_.end()) {
        make_room(now);
        found = entries_.emplace(address, Entry{now, now, now, 0}).first;
    }
    Entry& entry = found->second;
    entry.last_seen = now;
    if (now - entry.window_start >= limits_.window) {
        entry.window_start = now;
        entry.failures = 0;
    }
    if (++entry.failures >= limits_.failures) {
        entry.blocked_until = now + limits_.block;
        entry.window_start = entry.blocked_until;
        entry.failures = 0;
    }
}

void LoginGuard::make_room(Clock::time_point now) {
    if (entries_.size() < limits_.addresses)
        return;
    // Entries whose window and block have both run out say nothing any more.
    for (auto it = entries_.begin(); it != entries_.end();) {
        const Entry& e = it->second;
        if (now >= e.blocked_until && now - e.window_start >= limits_.window)
            it = entries_.erase(it);
        else
            ++it;
    }
    if (entries_.size() < limits_.addresses)
        return;
    auto oldest = entries_.begin();
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->second.last_seen < oldest->second.last_seen)
            oldest = it;
    entries_.erase(oldest);
}

}  // namespace relay_server
