#include "platform/tcp_client.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

// Ownership of the socket and the time limit of a lookup are the same on every system;
// opening, waiting and closing are not.

namespace {

// Shared by the waiting caller and the helper thread, which may outlive the wait.
struct Lookup {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    bool found = false;
    Ipv4Address address;
};

// "a.b.c.d" with each part 0-255 in decimal; anything else is left to the resolver.
bool parse_dotted_quad(const std::string& host, Ipv4Address& address) {
    uint8_t bytes[4] = {};
    size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && (at >= host.size() || host[at++] != '.'))
            return false;
        unsigned value = 0;
        size_t digits = 0;
        for (; at < host.size() && host[at] >= '0' && host[at] <= '9' && digits < 4; ++at, ++digits)
            value = value * 10 + static_cast<unsigned>(host[at] - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return false;
        bytes[part] = static_cast<uint8_t>(value);
    }
    if (at != host.size())
        return false;
    std::memcpy(&address.network_order, bytes, sizeof bytes);
    return true;
}

}  // namespace

Resolution resolve_ipv4(const std::string& host, Ipv4Address& address, int timeout_ms,
                        const WaitServe& meanwhile) {
    if (host.empty())
        return Resolution::not_found;
    // An address needs no lookup, and no thread to wait for one.
    if (parse_dotted_quad(host, address))
        return Resolution::found;
    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host] {
            Ipv4Address found_address;
            const bool found = lookup_ipv4(host, found_address);
            std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->found = found;
            lookup->address = found_address;
            lookup->done = true;
            lookup->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the lookup without a limit beats no lookup at all.
        return lookup_ipv4(host, address) ? Resolution::found : Resolution::not_found;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    std::unique_lock<std::mutex> lock(lookup->mutex);
    for (;;) {
        const auto slice =
            std::min(deadline, Clock::now() + std::chrono::milliseconds(kWaitSliceMs));
        if (lookup->finished.wait_until(lock, slice, [&lookup] { return lookup->done; })) {
            if (!lookup->found)
                return Resolution::not_found;
            address = lookup->address;
            return Resolution::found;
        }
        if (Clock::now() >= deadline)
            return Resolution::timed_out;
        if (meanwhile) {
            lock.unlock();
            meanwhile();
            lock.lock();
        }
    }
}

TcpClient::~TcpClient() {
    close();
}

TcpClient::TcpClient(TcpClient&& other) noexcept : handle_(other.handle_) {
    other.handle_ = kNoSocket;
}

TcpClient& TcpClient::operator=(TcpClient&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = other.handle_;
        other.handle_ = kNoSocket;
    }
    return *this;
}
