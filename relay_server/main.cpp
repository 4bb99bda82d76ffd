// qn718-relay: the remote-access server ("serve") and the technician's control commands.
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "relay_server/relay_codec.h"
#include "relay_server/relay_server.h"
#include "relay_server/technician_client.h"

#ifndef QN718_RELAY_VERSION
#define QN718_RELAY_VERSION "0"
#endif

namespace {

using namespace relay_server;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Each session holds two descriptors (program and technician); a few more serve the rest.
constexpr size_t kDescriptorsPerSession = 2;
constexpr size_t kSpareDescriptors = 200;

const char kUsage[] =
    "Usage: qn718-relay serve [--listen ADDR] [--port N] [--technician-socket PATH]\n"
    "                         [--max-sessions N]\n"
    "       qn718-relay new [--minutes N] [--technician-socket PATH]\n"
    "       qn718-relay sessions [--technician-socket PATH]\n"
    "       qn718-relay close CODE [--technician-socket PATH]\n"
    "       qn718-relay --help | --version\n"
    "\n"
    "serve      runs the remote-access server: programs log in on ADDR:N (default\n"
    "           0.0.0.0:55555) with a one-time code; technicians use the Unix socket\n"
    "           PATH (default /run/qn718-relay/technician.sock, mode 0660).\n"
    "new        creates a one-time code for one login, valid for N minutes\n"
    "           (1 to 1440, default 30), and prints it.\n"
    "sessions   lists the sessions: state, the program's address, seconds left.\n"
    "close      ends the session of CODE; a connected program is told and let go.\n"
    "\n"
    "Without --technician-socket, QN718_RELAY_SOCKET names the socket, else the default.\n"
    "Exit status: 0 done, 1 refused or failed, 2 wrong usage.\n";

int usage_error(const std::string& text) {
    std::fprintf(stderr, "qn718-relay: %s\n%s", text.c_str(), kUsage);
    return kExitUsage;
}

bool parse_number(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= low && value <= high;
}

// As many descriptors as the sessions need, within what the system allows.
size_t fit_descriptor_limit(size_t sessions) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return sessions;
    const rlim_t wanted = sessions * kDescriptorsPerSession + kSpareDescriptors;
    if (limit.rlim_cur < wanted) {
        limit.rlim_cur = std::min<rlim_t>(wanted, limit.rlim_max);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    if (limit.rlim_cur >= wanted)
        return sessions;
    const size_t fits = limit.rlim_cur > kSpareDescriptors
                            ? (limit.rlim_cur - kSpareDescriptors) / kDescriptorsPerSession
                            : 1;
    std::fprintf(stderr, "qn718-relay: the descriptor limit allows %zu sessions, not %zu\n", fits,
                 sessions);
    return fits;
}

int serve(RelayServerOptions options) {
    options.max_sessions = fit_descriptor_limit(options.max_sessions);
    // SIGINT and SIGTERM are waited for on this thread; the server's thread never sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    const std::string listen = options.listen_address;
    const std::string socket = options.technician_socket;
    RelayServer server(std::move(options));
    std::string error;
    if (!server.start(error)) {
        std::fprintf(stderr, "qn718-relay: %s\n", error.c_str());
        return kExitFailed;
    }
    std::fprintf(stderr, "qn718-relay: listening for programs on %s port %u, technicians on %s\n",
                 listen.c_str(), static_cast<unsigned>(server.port()), socket.c_str());
    std::thread loop([&server] { server.run(); });
    int received = 0;
    sigwait(&signals, &received);
    std::fprintf(stderr, "qn718-relay: stopping (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
    server.stop();
    loop.join();
    return kExitOk;
}

std::string socket_path(const std::string& given) {
    if (!given.empty())
        return given;
    const char* from_environment = std::getenv(kTechnicianSocketVariable);
    return from_environment && *from_environment ? from_environment : kDefaultTechnicianSocket;
}

// Sends one request; returns its answer lines or the exit status of the failure.
int control(const std::string& path, const std::string& request, std::vector<std::string>& lines) {
    const ControlAnswer answer = ask_relay(socket_path(path), request);
    if (!answer.reached) {
        std::fprintf(stderr, "qn718-relay: %s\n", answer.error.c_str());
        return kExitFailed;
    }
    if (answer.lines.empty() || answer.lines.front().rfind("ERR", 0) == 0) {
        const std::string text =
            answer.lines.empty() ? "no answer" : answer.lines.front().substr(3);
        std::fprintf(stderr, "qn718-relay: the server refused:%s\n", text.c_str());
        return kExitFailed;
    }
    lines = answer.lines;
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return usage_error("a command is missing");
    if (args[0] == "--help" || args[0] == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (args[0] == "--version" || args[0] == "-V") {
        std::printf("qn718-relay %s\n", QN718_RELAY_VERSION);
        return kExitOk;
    }
    const std::string command = args[0];
    RelayServerOptions options;
    std::string technician_socket;
    long minutes = kDefaultMinutes;
    std::vector<std::string> operands;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool has_value = i + 1 < args.size();
        long number = 0;
        if (arg == "--technician-socket" && has_value) {
            technician_socket = args[++i];
        } else if (command == "serve" && arg == "--listen" && has_value) {
            options.listen_address = args[++i];
        } else if (command == "serve" && arg == "--port" && has_value) {
            if (!parse_number(args[++i].c_str(), 0, 65535, number))
                return usage_error("--port takes 0 (any free port) to 65535");
            options.port = static_cast<uint16_t>(number);
        } else if (command == "serve" && arg == "--max-sessions" && has_value) {
            if (!parse_number(args[++i].c_str(), 1, 100000, number))
                return usage_error("--max-sessions takes 1 to 100000");
            options.max_sessions = static_cast<size_t>(number);
        } else if (command == "new" && arg == "--minutes" && has_value) {
            if (!parse_number(args[++i].c_str(), 1, kMaxMinutes, minutes))
                return usage_error("--minutes takes 1 to 1440");
        } else if (!arg.empty() && arg[0] == '-') {
            return usage_error("unknown option or missing value: " + arg);
        } else {
            operands.push_back(arg);
        }
    }
    std::vector<std::string> lines;
    if (command == "serve" && operands.empty()) {
        options.technician_socket = socket_path(technician_socket);
        return serve(std::move(options));
    }
    if (command == "new" && operands.empty()) {
        const int status = control(technician_socket, "NEW " + std::to_string(minutes), lines);
        if (status != kExitOk)
            return status;
        // "CODE <code> <minutes>": the code alone on standard output, for scripts.
        const std::string& line = lines.front();
        const size_t first = line.find(' ');
        const size_t second = line.find(' ', first + 1);
        if (line.rfind("CODE ", 0) != 0 || second == std::string::npos) {
            std::fprintf(stderr, "qn718-relay: unexpected answer: %s\n", line.c_str());
            return kExitFailed;
        }
        std::printf("%s\n", line.substr(first + 1, second - first - 1).c_str());
        std::fprintf(stderr, "valid for %s minutes, for one login\n", line.c_str() + second + 1);
        return kExitOk;
    }
    if (command == "sessions" && operands.empty()) {
        const int status = control(technician_socket, "SESSIONS", lines);
        if (status != kExitOk)
            return status;
        for (const std::string& line : lines)
            if (line.rfind("SESSION ", 0) == 0)
                std::printf("%s\n", line.c_str() + 8);
        return kExitOk;
    }
    if (command == "close" && operands.size() == 1) {
        const int status = control(technician_socket, "CLOSE " + operands[0], lines);
        if (status == kExitOk)
            std::printf("closed\n");
        return status;
    }
    if (command == "serve" || command == "new" || command == "sessions" || command == "close")
        return usage_error("wrong arguments for " + command);
    return usage_error("unknown command: " + command);
}
