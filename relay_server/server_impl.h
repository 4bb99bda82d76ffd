// The server's state, shared by the files that make up its loop: the bounds and waits, the
// connections of both sides, the sessions, and the operations each file provides.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "relay_server/access_code.h"
#include "relay_server/login_guard.h"
#include "relay_server/relay_codec.h"
#include "relay_server/relay_server.h"

namespace relay_server {

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

inline bool would_block() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
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

}  // namespace relay_server
