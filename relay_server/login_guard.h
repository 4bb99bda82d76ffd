// Failed logins counted per source address: after too many within a window, that address is
// refused without its password being looked at until the block runs out. The table is bounded;
// when it is full the entry seen longest ago makes room.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <unordered_map>

namespace relay_server {

struct LoginGuardLimits {
    int failures = 5;
    std::chrono::seconds window{60};
    std::chrono::seconds block{60};
    size_t addresses = 4096;
};

class LoginGuard {
   public:
    using Clock = std::chrono::steady_clock;
    explicit LoginGuard(LoginGuardLimits limits = {}) : limits_(limits) {}

    // False while the address is blocked.
    bool allowed(const std::string& address, Clock::time_point now) const;
    void record_failure(const std::string& address, Clock::time_point now);
    size_t tracked() const { return entries_.size(); }

   private:
    struct Entry {
        Clock::time_point window_start;
        Clock::time_point blocked_until;
        Clock::time_point last_seen;
        int failures = 0;
    };
    void make_room(Clock::time_point now);

    LoginGuardLimits limits_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace relay_server
