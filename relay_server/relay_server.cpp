// The loop itself: what each descriptor is watched for, the wait, and the wake-ups handed to the
// sides; and the public face that starts, runs and stops it.
#include "relay_server/relay_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "relay_server/server_impl.h"

namespace relay_server {

namespace {

// Each descriptor's epoll data: its connection's id and what it is.
enum Kind : uint64_t { kWake, kProgramListener, kTechnicianListener, kProgram, kTechnician };
constexpr uint64_t kKinds = 8;

}  // namespace

bool RelayServer::Impl::watch(int fd, uint64_t key, uint32_t events, uint32_t& registered,
                              bool& added) {
    if (added && events == registered)
        return true;
    epoll_event event{};
    event.events = events;
    event.data.u64 = key;
    if (::epoll_ctl(epoll.get(), added ? EPOLL_CTL_MOD : EPOLL_CTL_ADD, fd, &event) != 0)
        return false;
    registered = events;
    added = true;
    return true;
}

void RelayServer::Impl::run() {
    std::vector<epoll_event> ready_events(256);
    uint32_t wake_events = 0, unix_events = 0, tcp_events = 0;
    bool wake_added = false, unix_added = false, tcp_added = false;
    while (!stopping) {
        now = options.clock();
        if (now >= next_timer)
            next_timer = serve_timers();
        const Clock::time_point next = next_timer;
        reap();
        watch(wake_read.get(), kWake, EPOLLIN, wake_events, wake_added);
        watch(unix_listener.get(), kTechnicianListener, EPOLLIN, unix_events, unix_added);
        size_t pending_logins = 0;
        for (const auto& [id, p] : programs)
            if (!p.logged_in && !p.closing)
                ++pending_logins;
        // New programs wait in the backlog while the logins at hand are many.
        watch(tcp_listener.get(), kProgramListener,
              pending_logins < kMaxPendingLogins ? static_cast<uint32_t>(EPOLLIN) : 0U, tcp_events,
              tcp_added);
        for (auto& [id, p] : programs) {
            uint32_t events = 0;
            if (!p.closing) {
                const auto session = sessions.find(p.session);
                const Technician* t = nullptr;
                if (session != sessions.end() && session->second.technician)
                    t = &technicians.at(session->second.technician);
                // The technician's pace holds the program's bytes back, not a growing buffer.
                if (!p.logged_in || !t || t->out.size() < kTechnicianQueueBytes)
                    events |= EPOLLIN;
            }
            if (!p.out.empty() && now >= p.hold_until)
                events |= EPOLLOUT;
            if (!watch(p.fd.get(), id * kKinds + kProgram, events, p.registered, p.added))
                p.dead = true;
        }
        for (auto& [id, t] : technicians) {
            uint32_t events = 0;
            if (!t.closing && t.in.size() < kTechnicianInput)
                events |= EPOLLIN;
            if (!t.out.empty())
                events |= EPOLLOUT;
            if (!watch(t.fd.get(), id * kKinds + kTechnician, events, t.registered, t.added))
                t.dead = true;
        }
        // Rounded up: a wait cut to 0 ms would spin until the deadline.
        const auto wait = std::chrono::ceil<milliseconds>(next - options.clock());
        const int timeout =
            static_cast<int>(std::clamp(wait, milliseconds(0), kLongestWait).count());
        const int ready = ::epoll_wait(epoll.get(), ready_events.data(),
                                       static_cast<int>(ready_events.size()), timeout);
        if (ready < 0 && errno != EINTR) {
            log(std::string("epoll_wait failed: ") + std::strerror(errno));
            return;
        }
        now = options.clock();
        for (int i = 0; i < ready; ++i) {
            const uint32_t revents = ready_events[i].events;
            const uint64_t kind = ready_events[i].data.u64 % kKinds;
            const uint64_t id = ready_events[i].data.u64 / kKinds;
            if (kind == kWake) {
                char drain[16];
                while (::read(wake_read.get(), drain, sizeof drain) > 0) {
                }
            } else if (kind == kProgramListener) {
                accept_programs();
            } else if (kind == kTechnicianListener) {
                accept_technicians();
            } else if (kind == kProgram) {
                // Gone since the wait began: ids are never reused.
                const auto found = programs.find(id);
                if (found == programs.end())
                    continue;
                Program& p = found->second;
                if (!p.dead && (revents & EPOLLOUT))
                    flush_program(p);
                if (!p.dead && (revents & (EPOLLIN | EPOLLHUP | EPOLLERR)))
                    program_readable(id, p);
            } else {
                const auto found = technicians.find(id);
                if (found == technicians.end())
                    continue;
                Technician& t = found->second;
                if (!t.dead && (revents & EPOLLOUT))
                    flush_technician(t);
                if (!t.dead && (revents & (EPOLLIN | EPOLLHUP | EPOLLERR)))
                    technician_readable(id, t);
            }
        }
    }
}

RelayServer::RelayServer(RelayServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options))) {}

RelayServer::~RelayServer() = default;

bool RelayServer::start(std::string& error) {
    impl_->now = impl_->options.clock();
    return impl_->start(error);
}

uint16_t RelayServer::port() const {
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (::getsockname(impl_->tcp_listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    if (address.ss_family == AF_INET6)
        return ntohs(reinterpret_cast<sockaddr_in6&>(address).sin6_port);
    return ntohs(reinterpret_cast<sockaddr_in&>(address).sin_port);
}

void RelayServer::run() {
    impl_->run();
}

void RelayServer::stop() {
    impl_->stopping = true;
    const char wake = 1;
    [[maybe_unused]] const ssize_t n = ::write(impl_->wake_write.get(), &wake, 1);
}

}  // namespace relay_server
