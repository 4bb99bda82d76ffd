// The sessions: finding one by its code, its state, ending it, and dropping closed connections.
#include <optional>

#include "relay_server/server_impl.h"

namespace relay_server {

std::map<uint64_t, Session>::iterator RelayServer::Impl::find_session(const std::string& typed) {
    const std::optional<CanonicalCode> code = canonical_code(typed);
    auto match = sessions.end();
    if (!code)
        return match;
    for (auto it = sessions.begin(); it != sessions.end(); ++it)
        if (codes_equal(it->second.code, *code))
            match = it;
    return match;
}

SessionState RelayServer::Impl::state_of(const Session& s) const {
    if (!s.program)
        return SessionState::waiting;
    if (s.technician && technicians.at(s.technician).phase == Technician::Phase::relay)
        return SessionState::attached;
    return SessionState::connected;
}

void RelayServer::Impl::end_session(uint64_t session_id, const char* reason) {
    const auto found = sessions.find(session_id);
    if (found == sessions.end())
        return;
    const Session s = found->second;
    sessions.erase(found);
    log(std::string("session ") + (s.peer.empty() ? "without a program" : "of " + s.peer) +
        " ended: " + reason);
    if (s.program) {
        Program& p = programs.at(s.program);
        p.session = 0;
        if (!p.dead && !p.closing) {
            p.closing = true;
            p.close_by = now + kDrainTime;
            queue_program(p, "@!", false);
            flush_program(p);
        }
    }
    if (s.technician) {
        Technician& t = technicians.at(s.technician);
        t.session = 0;
        if (!t.dead && !t.closing) {
            if (t.phase == Technician::Phase::waiting) {
                answer(t, std::string("ERR session ended: ") + reason + "\n", true);
            } else {
                t.closing = true;
                t.close_by = now + kDrainTime;
                flush_technician(t);
            }
        }
    }
}

void RelayServer::Impl::reap() {
    for (auto it = programs.begin(); it != programs.end();)
        it = it->second.dead ? programs.erase(it) : std::next(it);
    for (auto it = technicians.begin(); it != technicians.end();)
        it = it->second.dead ? technicians.erase(it) : std::next(it);
}

}  // namespace relay_server
