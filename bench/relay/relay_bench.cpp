// qn718-relay under load: the real server as a process of its own, N programs logged in over
// loopback (plain sockets standing in for the program) with a technician attached to each, kept
// alive for a while. Reported: the server's memory per session, its CPU time per second, the
// keep-alives each program got, and the time from a technician's record to the program's
// answer arriving back at the technician.
//   QN718_RELAY_BENCH_SESSIONS (default 1000, fewer when the descriptor limit is lower)
//   QN718_RELAY_BENCH_SECONDS  (default 60)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "relay_server/relay_codec.h"
#include "relay_server/technician_client.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kIoWaitMs = 3000;
constexpr milliseconds kRoundTripEvery{10};

long from_environment(const char* name, long fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

struct Socket {
    int fd = -1;
    Socket() = default;
    explicit Socket(int f) : fd(f) {}
    Socket(Socket&& o) noexcept : fd(o.fd) { o.fd = -1; }
    Socket& operator=(Socket&& o) noexcept {
        std::swap(fd, o.fd);
        return *this;
    }
    ~Socket() {
        if (fd >= 0)
            ::close(fd);
    }
};

bool send_all(int fd, const std::string& bytes) {
    return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(bytes.size());
}

// Reads until count bytes other than lone keep-alive spaces came, or the wait ran out.
std::string receive(int fd, size_t count, bool skip_spaces, int* spaces = nullptr) {
    std::string got;
    const auto end = Clock::now() + milliseconds(kIoWaitMs);
    while (got.size() < count && Clock::now() < end) {
        pollfd polled{fd, POLLIN, 0};
        if (::poll(&polled, 1, kIoWaitMs) <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - got.size()), 0);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            if (skip_spaces && got.empty() && buffer[i] == ' ') {
                if (spaces)
                    ++*spaces;
                continue;
            }
            got.push_back(buffer[i]);
        }
    }
    return got;
}

struct ServerProcess {
    pid_t pid = -1;
    uint16_t port = 0;
    std::string folder;
    std::string socket_path;

    bool start(size_t sessions) {
        char name[] = "/tmp/qn718-relay-bench-XXXXXX";
        if (!::mkdtemp(name))
            return false;
        folder = name;
        socket_path = folder + "/technician.sock";
        int out[2];
        if (::pipe(out) != 0)
            return false;
        pid = ::fork();
        if (pid == 0) {
            ::dup2(out[1], 2);
            ::close(out[0]);
            const std::string max = std::to_string(sessions);
            ::execl(QN718_RELAY_PROGRAM, "qn718-relay", "serve", "--listen", "127.0.0.1", "--port",
                    "0", "--technician-socket", socket_path.c_str(), "--max-sessions", max.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        // "... port N, technicians on PATH"; later log lines are left in the pipe's buffer
        // and dropped with it (the bench's logins log one line each, within the buffer's
        // room only if the pipe is read, so it is read by a child of its own).
        std::string line;
        char c;
        while (line.find('\n') == std::string::npos && ::read(out[0], &c, 1) == 1)
            line.push_back(c);
        const size_t at = line.find(" port ");
        if (at == std::string::npos)
            return false;
        port = static_cast<uint16_t>(std::atoi(line.c_str() + at + 6));
        if (::fork() == 0) {
            char sink[4096];
            while (::read(out[0], sink, sizeof sink) > 0) {
            }
            ::_exit(0);
        }
        ::close(out[0]);
        return port != 0;
    }
    ~ServerProcess() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
        ::rmdir(folder.c_str());
    }
    long rss_kb() const {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        std::string key;
        long value = 0;
        while (status >> key) {
            if (key == "VmRSS:") {
                status >> value;
                return value;
            }
            status.ignore(1 << 12, '\n');
        }
        return 0;
    }
    double cpu_seconds() const {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        std::istringstream fields(text.substr(text.rfind(')') + 2));
        std::string field;
        long user = 0, system = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i) {
            if (i == 14)
                user = std::stol(field);
            if (i == 15)
                system = std::stol(field);
        }
        return static_cast<double>(user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
};

Socket connect_program(uint16_t port) {
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int on = 1;
    ::setsockopt(s.fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Socket();
    return s;
}

Socket connect_technician(const std::string& path) {
    Socket s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (::connect(s.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return Socket();
    return s;
}

size_t sessions_that_fit(size_t wanted) {
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ::getrlimit(RLIMIT_NOFILE, &limit);
    const size_t fits = limit.rlim_cur > 100 ? (limit.rlim_cur - 100) / 2 : 1;
    return std::min(wanted, fits);
}

void BM_RelayKeepsManySessions(benchmark::State& state) {
    const size_t sessions = sessions_that_fit(
        static_cast<size_t>(from_environment("QN718_RELAY_BENCH_SESSIONS", 1000)));
    const auto period = std::chrono::seconds(from_environment("QN718_RELAY_BENCH_SECONDS", 60));
    for (auto _ : state) {
        ServerProcess server;
        if (!server.start(sessions)) {
            state.SkipWithError("the server did not start");
            return;
        }
        const long rss_empty = server.rss_kb();
        std::vector<Socket> programs;
        std::vector<Socket> technicians;
        for (size_t i = 0; i < sessions; ++i) {
            const auto answer = relay_server::ask_relay(server.socket_path, "NEW 30");
            if (answer.lines.empty() || answer.lines[0].rfind("CODE ", 0) != 0) {
                state.SkipWithError("no code");
                return;
            }
            const std::string code = answer.lines[0].substr(5, 11);
            Socket program = connect_program(server.port);
            if (!send_all(program.fd, code + "\n") || receive(program.fd, 2, false) != "OK") {
                state.SkipWithError("a login failed");
                return;
            }
            Socket technician = connect_technician(server.socket_path);
            if (!send_all(technician.fd, "ATTACH " + code + "\n") ||
                receive(technician.fd, 3, false) != "OK\n") {
                state.SkipWithError("an attach failed");
                return;
            }
            programs.push_back(std::move(program));
            technicians.push_back(std::move(technician));
        }
        const long rss_full = server.rss_kb();

        // The period: keep-alives drained from every program, and every 10 ms one session's
        // technician asks its program for the acknowledgement flag.
        const std::string request = *relay_server::encode_record("@G");
        const std::string reply("@G\x00", 3);
        std::vector<pollfd> polled(sessions);
        for (size_t i = 0; i < sessions; ++i)
            polled[i] = {programs[i].fd, POLLIN, 0};
        // Keep-alives sent while the sessions were being set up are not the period's.
        for (const Socket& program : programs) {
            char buffer[256];
            while (::recv(program.fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
            }
        }
        std::vector<double> latencies_us;
        long spaces = 0;
        int lost = 0;
        size_t next = 0;
        // First half idle, second half with a round trip every 10 ms.
        const auto start = Clock::now();
        const auto half = start + period / 2;
        const double cpu_start = server.cpu_seconds();
        double cpu_half = -1;
        auto next_trip = half;
        while (Clock::now() - start < period && lost == 0) {
            if (cpu_half < 0 && Clock::now() >= half)
                cpu_half = server.cpu_seconds();
            if (Clock::now() >= next_trip) {
                next_trip += kRoundTripEvery;
                const size_t i = next++ % sessions;
                int skipped = 0;
                const auto sent = Clock::now();
                if (!send_all(technicians[i].fd, request) ||
                    receive(programs[i].fd, 2, true, &skipped) != "@G" ||
                    !send_all(programs[i].fd, reply) ||
                    receive(technicians[i].fd, 3, false) != reply) {
                    ++lost;
                    break;
                }
                spaces += skipped;
                latencies_us.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - sent).count());
            }
            const auto wait =
                std::chrono::ceil<milliseconds>(std::min(next_trip, start + period) - Clock::now());
            if (::poll(polled.data(), polled.size(),
                       static_cast<int>(std::max<long>(wait.count(), 0))) <= 0)
                continue;
            for (pollfd& p : polled) {
                if (!(p.revents & POLLIN))
                    continue;
                char buffer[64];
                const ssize_t n = ::recv(p.fd, buffer, sizeof buffer, 0);
                if (n <= 0) {
                    ++lost;
                    break;
                }
                spaces += std::count(buffer, buffer + n, ' ');
            }
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu_end = server.cpu_seconds();
        const double half_seconds = elapsed / 2;
        std::sort(latencies_us.begin(), latencies_us.end());
        const auto at = [&](double q) {
            return latencies_us.empty()
                       ? 0.0
                       : latencies_us[static_cast<size_t>(q * (latencies_us.size() - 1))];
        };
        double sum = 0;
        for (double l : latencies_us)
            sum += l;
        state.counters["sessions"] = static_cast<double>(sessions);
        state.counters["sessions_lost"] = lost;
        state.counters["rss_empty_kB"] = static_cast<double>(rss_empty);
        state.counters["kB_per_session"] =
            static_cast<double>(rss_full - rss_empty) / static_cast<double>(sessions);
        state.counters["cpu_idle_ms_per_s"] = 1000.0 * (cpu_half - cpu_start) / half_seconds;
        state.counters["cpu_100trips_ms_per_s"] = 1000.0 * (cpu_end - cpu_half) / half_seconds;
        state.counters["keepalives_per_session_s"] =
            static_cast<double>(spaces) / static_cast<double>(sessions) / elapsed;
        state.counters["round_trips"] = static_cast<double>(latencies_us.size());
        state.counters["latency_median_us"] = at(0.5);
        state.counters["latency_p99_us"] = at(0.99);
        state.counters["latency_max_us"] = at(1.0);
        state.counters["latency_mean_us"] = latencies_us.empty() ? 0 : sum / latencies_us.size();
    }
}
BENCHMARK(BM_RelayKeepsManySessions)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
