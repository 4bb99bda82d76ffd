#include "relay_server/relay_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include "relay_server/access_code.h"
#include "relay_server/login_guard.h"
#include "relay_server/relay_codec.h"

namespace relay_server {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A login line must come this soon after the connection.
constexpr milliseconds kLoginTime{5000};
// The program ends a session after about 2.6 s without data.
constexpr milliseconds kKeepAliveAfter{1000};
// Keep-alives falling due within this much of each other are sent together (a little late, well
// inside the program's limit), so 1000 idle programs cost ten wake-ups a second, not a thousand.
constexpr milliseconds kKeepAliveBatch{100};
// A space that arrives together with a record would be data: the record waits this long.
constexpr milliseconds kAfterKeepAlive{50};
constexpr milliseconds kRequestTime{10000};
// A peer that takes none of the bytes waiting for it for this long is gone.
constexpr milliseconds kStallTime{30000};
// A connection being closed gets this long to take its last bytes ("@!", "ERR ...").
constexpr milliseconds kDrainTime{2000};
constexpr milliseconds kLongestWait{250};
constexpr size_t kProgramQueueBytes = 64 * 1024;
constexpr size_t kTechnicianQueueBytes = 256 * 1024;
constexpr size_t kProgramReadSize = 8192;
constexpr size_t kLoginReadSize = 64;
constexpr size_t kTechnicianInput = 2 * (kRecordHeader + kMaxRecord);
constexpr size_t kMaxPendingLogins = 64;
// One address cannot hold all the login places with connections that never log in.
constexpr size_t kMaxPendingLoginsPerAddress = 8;
constexpr size_t kMaxControlConnections = 32;
constexpr size_t kAcceptsPerWake = 64;
constexpr int kListenBacklog = 512;
constexpr unsigned kTcpUserTimeoutMs = 30000;
constexpr int kCodeAttempts = 16;

class Fd {
   public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

   private:
    int fd_ = -1;
};

bool would_block() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

std::string peer_text(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = "?";
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text,
                  sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text,
                  sizeof text);
    return text;
}

struct Outgoing {
    std::string bytes;
    bool keep_alive = false;
};

struct Program {
    Fd fd;
    std::string peer;
    Clock::time_point accepted;
    uint32_t registered = 0;  // the events epoll watches for
    bool added = false;
    bool logged_in = false;
    bool closing = false;  // sends what is queued, then closes
    bool dead = false;
    Clock::time_point close_by;
    std::string login;
    uint64_t session = 0;
    // Each entry goes out in a send of its own: a record is never joined with a keep-alive.
    std::deque<Outgoing> out;
    size_t out_bytes = 0;
    size_t front_sent = 0;
    Clock::time_point last_send;
    Clock::time_point hold_until;
    Clock::time_point progress;
};

struct Technician {
    enum class Phase { request, waiting, relay };
    Fd fd;
    Phase phase = Phase::request;
    uint32_t registered = 0;
    bool added = false;
    bool closing = false;
    bool dead = false;
    Clock::time_point close_by;
    Clock::time_point deadline;
    Clock::time_point progress;
    std::string in;
    std::string out;
    uint64_t session = 0;
};

struct Session {
    CanonicalCode code{};
    Clock::time_point expires;
    uint64_t program = 0;
    uint64_t technician = 0;
    std::string peer;
};

}  // namespace

struct RelayServer::Impl {
    RelayServerOptions options;
    Fd tcp_listener;
    Fd unix_listener;
    Fd wake_read;
    Fd wake_write;
    Fd epoll;
    bool socket_created = false;
    std::atomic<bool> stopping{false};
    uint64_t next_id = 1;
    std::unordered_map<uint64_t, Program> programs;
    std::unordered_map<uint64_t, Technician> technicians;
    std::map<uint64_t, Session> sessions;
    LoginGuard guard;
    Clock::time_point now;
    // Nothing time-driven falls due before this; wake-ups for traffic skip the timers until then.
    Clock::time_point next_timer;
    Clock::time_point keep_alive_batch_ends;

    explicit Impl(RelayServerOptions o) : options(std::move(o)) {
        if (!options.log)
            options.log = [](const std::string& line) {
                std::fprintf(stderr, "qn718-relay: %s\n", line.c_str());
            };
        if (!options.clock)
            options.clock = [] { return Clock::now(); };
    }
    ~Impl() {
        if (socket_created)
            ::unlink(options.technician_socket.c_str());
    }

    void log(const std::string& line) { options.log(line); }

    bool start(std::string& error);
    bool open_tcp(std::string& error);
    bool open_unix(std::string& error);
    void run();
    bool watch(int fd, uint64_t key, uint32_t events, uint32_t& registered, bool& added);
    Clock::time_point serve_timers();

    void accept_programs();
    void accept_technicians();
    void program_readable(uint64_t id, Program& p);
    void program_login(uint64_t id, Program& p, const std::string& password);
    void flush_program(Program& p);
    void queue_program(Program& p, std::string bytes, bool keep_alive);
    void refuse_login(Program& p);
    void technician_readable(uint64_t id, Technician& t);
    void technician_request(uint64_t id, Technician& t);
    void answer(Technician& t, const std::string& text, bool then_close);
    void attach(uint64_t session_id, Session& s, uint64_t technician_id, Technician& t);
    void pump_records(Technician& t);
    void flush_technician(Technician& t);
    void end_session(uint64_t session_id, const char* reason);
    std::map<uint64_t, Session>::iterator find_session(const std::string& typed);
    SessionState state_of(const Session& s) const;
    void reap();
};

bool RelayServer::Impl::start(std::string& error) {
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_NONBLOCK | O_CLOEXEC) != 0) {
        error = std::string("cannot make a pipe: ") + std::strerror(errno);
        return false;
    }
    epoll = Fd(::epoll_create1(EPOLL_CLOEXEC));
    if (epoll.get() < 0) {
        error = std::string("cannot make an epoll set: ") + std::strerror(errno);
        return false;
    }
    wake_read = Fd(pipe_ends[0]);
    wake_write = Fd(pipe_ends[1]);
    return open_tcp(error) && open_unix(error);
}

bool RelayServer::Impl::open_tcp(std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(options.port);
    if (::getaddrinfo(options.listen_address.c_str(), port.c_str(), &hints, &found) != 0 ||
        !found) {
        error = "not a numeric address to listen on: " + options.listen_address;
        return false;
    }
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, ::freeaddrinfo);
    Fd fd(::socket(found->ai_family, found->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    const int on = 1;
    if (fd.get() < 0 || ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        ::bind(fd.get(), found->ai_addr, found->ai_addrlen) != 0 ||
        ::listen(fd.get(), kListenBacklog) != 0) {
        error = "cannot listen on " + options.listen_address + " port " + port + ": " +
                std::strerror(errno);
        return false;
    }
    tcp_listener = std::move(fd);
    return true;
}

bool RelayServer::Impl::open_unix(std::string& error) {
    const std::string& path = options.technician_socket;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "technician socket path is empty or too long: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    // A socket left behind by a server that died is replaced; a live server's is not.
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (!S_ISSOCK(existing.st_mode)) {
            error = path + " exists and is not a socket";
            return false;
        }
        Fd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        if (::connect(probe.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            error = "another server is listening on " + path;
            return false;
        }
        ::unlink(path.c_str());
    }
    Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    // Owner and group only, from the moment the socket exists.
    const mode_t old_mask = ::umask(0117);
    const bool bound = fd.get() >= 0 &&
                       ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int bind_error = errno;
    ::umask(old_mask);
    if (!bound) {
        error = "cannot create the technician socket " + path + ": " + std::strerror(bind_error);
        return false;
    }
    socket_created = true;
    if (::chmod(path.c_str(), 0660) != 0 || ::listen(fd.get(), kListenBacklog) != 0) {
        error = "cannot listen on the technician socket " + path + ": " + std::strerror(errno);
        return false;
    }
    unix_listener = std::move(fd);
    return true;
}

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

void RelayServer::Impl::reap() {
    for (auto it = programs.begin(); it != programs.end();)
        it = it->second.dead ? programs.erase(it) : std::next(it);
    for (auto it = technicians.begin(); it != technicians.end();)
        it = it->second.dead ? technicians.erase(it) : std::next(it);
}

void RelayServer::Impl::accept_programs() {
    for (size_t i = 0; i < kAcceptsPerWake; ++i) {
        sockaddr_storage address{};
        socklen_t size = sizeof address;
        Fd fd(::accept4(tcp_listener.get(), reinterpret_cast<sockaddr*>(&address), &size,
                        SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd.get() < 0)
            return;
        const std::string peer = peer_text(address);
        if (programs.size() >= options.max_sessions + kMaxPendingLogins) {
            log("too many connections; refused " + peer);
            continue;
        }
        size_t pending_here = 0;
        for (const auto& [id, other] : programs)
            if (!other.logged_in && !other.closing && other.peer == peer)
                ++pending_here;
        if (pending_here >= kMaxPendingLoginsPerAddress) {
            log("too many logins at once from " + peer + "; one refused");
            continue;
        }
        const int on = 1;
        ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        // A program whose network went away without a word: its unacknowledged bytes end it.
        const unsigned user_timeout = kTcpUserTimeoutMs;
        ::setsockopt(fd.get(), IPPROTO_TCP, TCP_USER_TIMEOUT, &user_timeout, sizeof user_timeout);
        Program& p = programs[next_id++];
        p.fd = std::move(fd);
        p.peer = peer;
        p.accepted = now;
        p.last_send = now;
        p.progress = now;
    }
}

void RelayServer::Impl::accept_technicians() {
    for (size_t i = 0; i < kAcceptsPerWake; ++i) {
        Fd fd(::accept4(unix_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (fd.get() < 0)
            return;
        if (technicians.size() >= options.max_sessions + kMaxControlConnections) {
            log("too many technician connections; one refused");
            continue;
        }
        Technician& t = technicians[next_id++];
        t.fd = std::move(fd);
        t.deadline = now + kRequestTime;
        t.progress = now;
    }
}

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
