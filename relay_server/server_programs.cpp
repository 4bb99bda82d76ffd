// The program's side: its login, the records and keep-alives queued for it, and its answers
// passed on to the technician.
#include <sys/socket.h>

#include <algorithm>
#include <optional>

#include "relay_server/server_impl.h"

namespace relay_server {

void RelayServer::Impl::queue_program(Program& p, std::string bytes, bool keep_alive) {
    if (p.out.empty())
        p.progress = now;
    p.out_bytes += bytes.size();
    p.out.push_back({std::move(bytes), keep_alive});
}

void RelayServer::Impl::flush_program(Program& p) {
    bool moved = false;
    while (!p.out.empty() && now >= p.hold_until) {
        const Outgoing& item = p.out.front();
        const ssize_t n = ::send(p.fd.get(), item.bytes.data() + p.front_sent,
                                 item.bytes.size() - p.front_sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (would_block())
                break;
            p.dead = true;
            break;
        }
        p.front_sent += static_cast<size_t>(n);
        p.last_send = now;
        p.progress = now;
        if (p.front_sent < item.bytes.size())
            break;
        if (item.keep_alive) {
            p.hold_until = now + kAfterKeepAlive;
            next_timer = std::min(next_timer, p.hold_until);
        }
        p.out_bytes -= item.bytes.size();
        p.front_sent = 0;
        p.out.pop_front();
        moved = true;
    }
    if (p.dead) {
        if (sessions.count(p.session)) {
            sessions.at(p.session).program = 0;
            end_session(p.session, "the program's connection failed");
        }
        return;
    }
    if (p.out.empty() && p.closing) {
        ::shutdown(p.fd.get(), SHUT_WR);
        p.dead = true;
        return;
    }
    // Room in the queue: records the technician sent meanwhile can follow.
    if (moved && sessions.count(p.session)) {
        const Session& s = sessions.at(p.session);
        if (s.technician) {
            Technician& t = technicians.at(s.technician);
            if (t.phase == Technician::Phase::relay && !t.in.empty())
                pump_records(t);
        }
    }
}

void RelayServer::Impl::refuse_login(Program& p) {
    p.closing = true;
    p.close_by = now + kDrainTime;
    queue_program(p, "NO", false);
    flush_program(p);
}

void RelayServer::Impl::program_readable(uint64_t id, Program& p) {
    if (!p.logged_in) {
        char buffer[kLoginReadSize];
        const ssize_t n = ::recv(p.fd.get(), buffer, sizeof buffer, 0);
        if (n < 0 && would_block())
            return;
        if (n <= 0) {
            p.dead = true;
            return;
        }
        p.login.append(buffer, static_cast<size_t>(n));
        std::string password;
        const LoginScan scan = scan_login_line(p.login, password);
        if (scan == LoginScan::incomplete)
            return;
        p.login.clear();
        if (scan == LoginScan::too_long) {
            log("login refused from " + p.peer + ": password line too long");
            guard.record_failure(p.peer, now);
            refuse_login(p);
            return;
        }
        program_login(id, p, password);
        return;
    }
    char buffer[kProgramReadSize];
    const ssize_t n = ::recv(p.fd.get(), buffer, sizeof buffer, 0);
    if (n < 0 && would_block())
        return;
    if (n <= 0) {
        p.dead = true;
        if (sessions.count(p.session)) {
            sessions.at(p.session).program = 0;
            end_session(p.session, "the program left");
        }
        return;
    }
    const auto session = sessions.find(p.session);
    if (session == sessions.end() || !session->second.technician)
        return;  // nobody to hear it: dropped
    Technician& t = technicians.at(session->second.technician);
    if (t.phase != Technician::Phase::relay)
        return;
    if (t.out.empty())
        t.progress = now;
    t.out.append(buffer, static_cast<size_t>(n));
    flush_technician(t);
}

void RelayServer::Impl::program_login(uint64_t id, Program& p, const std::string& password) {
    if (!guard.allowed(p.peer, now)) {
        log("login refused from " + p.peer + ": too many failed logins");
        refuse_login(p);
        return;
    }
    const std::optional<CanonicalCode> typed = canonical_code(password);
    const CanonicalCode candidate = typed ? *typed : CanonicalCode{};
    // Every waiting code is compared, whichever matches.
    uint64_t match = 0;
    for (const auto& [session_id, s] : sessions) {
        const bool equal = codes_equal(s.code, candidate);
        if (equal && typed && s.program == 0)
            match = session_id;
    }
    if (!match) {
        log("login failed from " + p.peer);
        guard.record_failure(p.peer, now);
        refuse_login(p);
        return;
    }
    Session& s = sessions.at(match);
    s.program = id;
    s.peer = p.peer;
    p.logged_in = true;
    p.session = match;
    log("program logged in from " + p.peer);
    queue_program(p, "OK", false);
    flush_program(p);
    if (s.technician) {
        Technician& t = technicians.at(s.technician);
        if (t.phase == Technician::Phase::waiting)
            attach(match, s, s.technician, t);
    }
}

}  // namespace relay_server
