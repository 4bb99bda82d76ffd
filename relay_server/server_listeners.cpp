// The two listening sockets: opening them at start and taking the connections that arrive.
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

#include <cerrno>
#include <cstring>
#include <memory>

#include "relay_server/server_impl.h"

namespace relay_server {

namespace {

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

}  // namespace

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

}  // namespace relay_server
