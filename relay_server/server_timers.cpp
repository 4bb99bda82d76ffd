// The timers: login and request time-outs, keep-alives, stalled peers, closing connections and
// expired codes.
#include <algorithm>

#include "relay_server/server_impl.h"

namespace relay_server {

// Time-outs, keep-alives and expiries; returns when the next of them falls due.
Clock::time_point RelayServer::Impl::serve_timers() {
    Clock::time_point next = now + kLongestWait;
    const auto due = [&](Clock::time_point at) { next = std::min(next, at); };
    if (now >= keep_alive_batch_ends)
        keep_alive_batch_ends = now + kKeepAliveBatch;
    for (auto it = sessions.begin(); it != sessions.end();) {
        const uint64_t id = it->first;
        const Clock::time_point expires = it->second.expires;
        ++it;
        if (now >= expires)
            end_session(id, "its code expired");
        else
            due(expires);
    }
    for (auto& [id, p] : programs) {
        if (p.dead)
            continue;
        if (p.closing) {
            if (now >= p.close_by)
                p.dead = true;
            else
                due(p.close_by);
        } else if (!p.logged_in) {
            if (now >= p.accepted + kLoginTime) {
                log("login timed out from " + p.peer);
                p.dead = true;
            } else {
                due(p.accepted + kLoginTime);
            }
        } else if (p.out.empty()) {
            const Clock::time_point keep_alive = p.last_send + kKeepAliveAfter;
            if (now >= keep_alive) {
                queue_program(p, " ", true);
                flush_program(p);
            } else {
                due(std::max(keep_alive, keep_alive_batch_ends));
            }
        }
        if (p.dead)
            continue;
        if (!p.out.empty()) {
            if (now >= p.progress + kStallTime) {
                log("program at " + p.peer + " stopped taking data");
                const uint64_t session = p.session;
                p.session = 0;
                p.dead = true;
                if (sessions.count(session)) {
                    sessions.at(session).program = 0;
                    end_session(session, "the program stopped taking data");
                }
                continue;
            }
            due(p.progress + kStallTime);
            if (now < p.hold_until)
                due(p.hold_until);
        }
    }
    for (auto& [id, t] : technicians) {
        if (t.dead)
            continue;
        if (t.closing) {
            if (now >= t.close_by)
                t.dead = true;
            else
                due(t.close_by);
            continue;
        }
        if (t.phase != Technician::Phase::relay) {
            if (now >= t.deadline) {
                if (t.phase == Technician::Phase::waiting && sessions.count(t.session))
                    sessions.at(t.session).technician = 0;
                t.session = 0;
                answer(t,
                       t.phase == Technician::Phase::request
                           ? "ERR no request in time\n"
                           : "ERR no program logged in with this code in time\n",
                       true);
            } else {
                due(t.deadline);
            }
        } else if (!t.out.empty()) {
            if (now >= t.progress + kStallTime) {
                t.dead = true;
                end_session(t.session, "the technician stopped taking data");
            } else {
                due(t.progress + kStallTime);
            }
        }
    }
    return next;
}

}  // namespace relay_server
