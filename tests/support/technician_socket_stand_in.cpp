#include "support/technician_socket_stand_in.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>

#include "device/device_link.h"
#include "firmware/firmware_image.h"
#include "remote/remote_session.h"
#include "support/loopback_relay_peer.h"
#include "support/recording_remote_host.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kSessionBound = std::chrono::seconds(120);
constexpr auto kKeepAliveEvery = std::chrono::milliseconds(1000);

bool send_to(int fd, const std::string& data) {
    size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

TechnicianSocketStandIn::TechnicianSocketStandIn(std::string folder, std::string code,
                                                 Faults faults)
    : path_(folder + "/technician.sock"), code_(std::move(code)), faults_(std::move(faults)) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path_.c_str(), sizeof(address.sun_path) - 1);
    listener_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::unlink(path_.c_str());
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) ||
        listen(listener_, 2))
        return;
    thread_ = std::thread(&TechnicianSocketStandIn::serve, this);
}

void TechnicianSocketStandIn::stop() {
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    if (listener_ >= 0)
        ::close(listener_);
    listener_ = -1;
    ::unlink(path_.c_str());
}

void TechnicianSocketStandIn::serve() {
    const auto end = Clock::now() + kSessionBound;
    while (!stop_ && Clock::now() < end) {
        if (!readable(listener_, 20))
            continue;
        const int technician = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (technician < 0)
            continue;
        relay(technician);
        ::close(technician);
        return;
    }
}

void TechnicianSocketStandIn::relay(int technician) {
    const std::string line = read_until(technician, "\n", 200, 5000, stop_);
    if (line.compare(0, 7 + code_.size() + 1, "ATTACH " + code_ + " ") != 0) {
        send_to(technician, "ERR unknown or expired code\n");
        return;
    }
    LoopbackRelayPeer peer;
    RemoteSession session;
    DeviceLink link;
    link.set_return_log_lines(true);
    const auto image = std::make_unique<FirmwareImage>();
    RecordingRemoteHost host;
    if (log_in(session, {"127.0.0.1", peer.port()}, "secret") != LoginResult::logged_in ||
        !peer.wait_for_logins(1) || !send_to(technician, "OK\n"))
        return;

    std::string pending;  // record bytes from the technician
    size_t forwarded = 0;
    int answers = 0;
    auto last_sent = Clock::now();
    const auto end = Clock::now() + kSessionBound;
    while (!stop_ && Clock::now() < end) {
        if (readable(technician, 0)) {
            char buffer[8192];
            const ssize_t n = recv(technician, buffer, sizeof buffer, 0);
            if (n <= 0) {
                // The technician is done: the program gets its farewell.
                program_stayed_ = session.connected();
                finish_session(session, link, true);
                return;
            }
            pending.append(buffer, static_cast<size_t>(n));
        }
        while (pending.size() >= 2) {
            const size_t length = static_cast<size_t>(static_cast<uint8_t>(pending[0])) << 8 |
                                  static_cast<uint8_t>(pending[1]);
            if (length == 0 || length > 8192) {
                finish_session(session, link, true);
                return;
            }
            if (pending.size() < 2 + length)
                break;
            const std::string record = pending.substr(2, length);
            pending.erase(0, 2 + length);
            if (forwarded + record.size() >= faults_.stop_after) {
                // The program stops in the middle: it gets part of the record, then leaves.
                peer.send(record.substr(0, faults_.stop_after - forwarded));
                relay_step(session, link, *image, host);
                finish_session(session, link, false);
                return;
            }
            forwarded += record.size();
            peer.send(record);
            last_sent = Clock::now();
        }
        if (Clock::now() - last_sent > kKeepAliveEvery) {
            peer.send(" ");
            last_sent = Clock::now();
        }
        relay_step(session, link, *image, host);
        std::string answer = peer.take();
        if (!answer.empty() && !faults_.garbage.empty() &&
            answers++ == faults_.garbage_after_answers)
            answer = faults_.garbage;
        if (!answer.empty() && !send_to(technician, answer))
            return;
        if (!session.connected())
            return;
    }
}
