// The technician's side: the request line, its answers, and the records it relays once
// attached.
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "relay_server/server_impl.h"

namespace relay_server {

void RelayServer::Impl::answer(Technician& t, const std::string& text, bool then_close) {
    if (t.out.empty())
        t.progress = now;
    t.out += text;
    if (then_close) {
        t.closing = true;
        t.close_by = now + kDrainTime;
    }
    flush_technician(t);
}

void RelayServer::Impl::flush_technician(Technician& t) {
    while (!t.out.empty()) {
        const ssize_t n = ::send(t.fd.get(), t.out.data(), t.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (would_block())
                return;
            t.dead = true;
            if (t.phase == Technician::Phase::relay && sessions.count(t.session)) {
                sessions.at(t.session).technician = 0;
                end_session(t.session, "the technician's connection failed");
            }
            return;
        }
        t.out.erase(0, static_cast<size_t>(n));
        t.progress = now;
    }
    if (t.closing)
        t.dead = true;
}

void RelayServer::Impl::technician_readable(uint64_t id, Technician& t) {
    char buffer[kTechnicianInput];
    const size_t room = kTechnicianInput - std::min(kTechnicianInput, t.in.size());
    // A full buffer is only looked at: a hang-up is reported while it is full.
    const ssize_t n = ::recv(t.fd.get(), buffer, room ? room : 1, room ? 0 : MSG_PEEK);
    if (n > 0 && room == 0)
        return;
    if (n < 0 && would_block())
        return;
    if (n <= 0) {
        t.dead = true;
        if (sessions.count(t.session)) {
            Session& s = sessions.at(t.session);
            s.technician = 0;
            if (t.phase == Technician::Phase::relay)
                end_session(t.session, "the technician left");
        }
        return;
    }
    if (t.closing)
        return;
    t.in.append(buffer, static_cast<size_t>(n));
    if (t.phase == Technician::Phase::request)
        technician_request(id, t);
    else if (t.phase == Technician::Phase::relay)
        pump_records(t);
    // Records sent ahead of the program's login wait, up to the buffer's bound.
    if (t.phase == Technician::Phase::waiting && t.in.size() >= kTechnicianInput) {
        if (sessions.count(t.session))
            sessions.at(t.session).technician = 0;
        t.session = 0;
        t.in.clear();
        answer(t, "ERR too much data before the program logged in\n", true);
    }
}

void RelayServer::Impl::technician_request(uint64_t id, Technician& t) {
    const size_t end = t.in.find('\n');
    if (end == std::string::npos) {
        if (t.in.size() > kMaxRequestLine)
            answer(t, "ERR request too long\n", true);
        return;
    }
    if (end > kMaxRequestLine) {
        answer(t, "ERR request too long\n", true);
        return;
    }
    const std::string line = t.in.substr(0, end);
    t.in.erase(0, end + 1);
    std::string error;
    const std::optional<TechnicianRequest> request = parse_technician_request(line, error);
    if (!request) {
        answer(t, "ERR " + error + "\n", true);
        return;
    }
    switch (request->kind) {
        case TechnicianRequest::Kind::new_code: {
            if (sessions.size() >= options.max_sessions) {
                answer(t, "ERR too many sessions\n", true);
                return;
            }
            for (int attempt = 0; attempt < kCodeAttempts; ++attempt) {
                std::array<uint8_t, kCodeRandomBytes> random{};
                if (!system_random(random.data(), random.size())) {
                    answer(t, "ERR no random numbers available\n", true);
                    return;
                }
                const std::string code = format_access_code(random);
                if (find_session(code) != sessions.end())
                    continue;
                Session& s = sessions[next_id++];
                s.code = *canonical_code(code);
                s.expires = now + std::chrono::minutes(request->minutes);
                log("new code, valid for " + std::to_string(request->minutes) + " minutes");
                answer(t, "CODE " + code + " " + std::to_string(request->minutes) + "\n", true);
                return;
            }
            answer(t, "ERR no free code found\n", true);
            return;
        }
        case TechnicianRequest::Kind::sessions: {
            std::string lines;
            for (const auto& [session_id, s] : sessions)
                lines += format_session_line(
                    state_of(s), s.peer,
                    std::chrono::ceil<std::chrono::seconds>(s.expires - now).count());
            answer(t, lines + "END\n", true);
            return;
        }
        case TechnicianRequest::Kind::attach: {
            const auto found = find_session(request->code);
            if (found == sessions.end()) {
                answer(t, "ERR no such session\n", true);
                return;
            }
            Session& s = found->second;
            if (s.technician) {
                answer(t, "ERR a technician is attached already\n", true);
                return;
            }
            if (s.program) {
                attach(found->first, s, id, t);
                return;
            }
            if (request->seconds == 0) {
                answer(t, "ERR no program has logged in with this code\n", true);
                return;
            }
            s.technician = id;
            t.session = found->first;
            t.phase = Technician::Phase::waiting;
            t.deadline = now + std::chrono::seconds(request->seconds);
            return;
        }
        case TechnicianRequest::Kind::close: {
            const auto found = find_session(request->code);
            if (found == sessions.end()) {
                answer(t, "ERR no such session\n", true);
                return;
            }
            end_session(found->first, "a technician closed it");
            answer(t, "OK\n", true);
            return;
        }
    }
}

void RelayServer::Impl::attach(uint64_t session_id, Session& s, uint64_t technician_id,
                               Technician& t) {
    s.technician = technician_id;
    t.session = session_id;
    t.phase = Technician::Phase::relay;
    log("technician attached to the program at " + s.peer);
    answer(t, "OK\n", false);
    // Records sent right behind the request wait no longer.
    if (!t.in.empty())
        pump_records(t);
}

void RelayServer::Impl::pump_records(Technician& t) {
    const auto session = sessions.find(t.session);
    if (session == sessions.end() || !session->second.program)
        return;
    Program& p = programs.at(session->second.program);
    size_t taken = 0;
    while (p.out_bytes < kProgramQueueBytes) {
        std::string_view record;
        size_t consumed = 0;
        const RecordScan scan = scan_record(std::string_view(t.in).substr(taken), record, consumed);
        if (scan == RecordScan::incomplete)
            break;
        if (scan == RecordScan::invalid) {
            t.in.clear();
            end_session(session->first, "the technician sent a malformed record");
            return;
        }
        queue_program(p, std::string(record), false);
        taken += consumed;
    }
    t.in.erase(0, taken);
    if (taken)
        flush_program(p);
}

}  // namespace relay_server
