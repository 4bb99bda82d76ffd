// The network waits' time limits against peers that misbehave: a name server that never
// answers and a server that takes what is sent only slowly.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "platform/tcp_client.h"
#include "remote/remote_session.h"
#include "support/hang_guard.h"
#include "support/socket_shim.h"
#include "update/update_check.h"

#ifndef _WIN32
#include <dlfcn.h>
#include <netdb.h>

// The system's resolver as this test program sees it: one name is never answered until the
// test lets go of it (a name server that stays silent), every other goes to the real one.
namespace {

constexpr char kSilentName[] = "never-answers.invalid";
std::mutex g_resolver_mutex;
std::condition_variable g_resolver_released;
bool g_resolver_held = false;

// Holds the silent name's lookups while it lives.
struct SilentResolver {
    SilentResolver() {
        std::lock_guard<std::mutex> lock(g_resolver_mutex);
        g_resolver_held = true;
    }
    ~SilentResolver() {
        {
            std::lock_guard<std::mutex> lock(g_resolver_mutex);
            g_resolver_held = false;
        }
        g_resolver_released.notify_all();
    }
};

}  // namespace

extern "C" int getaddrinfo(const char* node, const char* service, const addrinfo* hints,
                           addrinfo** found) {
    if (node && std::strcmp(node, kSilentName) == 0) {
        std::unique_lock<std::mutex> lock(g_resolver_mutex);
        g_resolver_released.wait_for(lock, std::chrono::minutes(2),
                                     [] { return !g_resolver_held; });
        return EAI_AGAIN;
    }
    using Lookup = int (*)(const char*, const char*, const addrinfo*, addrinfo**);
    static const Lookup real = reinterpret_cast<Lookup>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return real ? real(node, service, hints, found) : EAI_FAIL;
}
#endif

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

#ifndef _WIN32
struct CountingProgress : UpdateProgress {
    std::atomic<int> served{0};
    void show_stage(UpdateStage, double) override {}
    void show_download_part(double) override {}
    void keep_responsive() override { ++served; }
    bool offer_download(const ProgramVersion&) override { return false; }
};

// The update check and two logins at once, so that the three limits cost one wait.
TEST(NetworkWaits, ANameServerThatNeverAnswersEndsEveryLookupAtItsLimit) {
    const SilentResolver silent;
    const HangGuard guard(std::chrono::seconds(30), "a lookup the name server never answers");
    const auto started = Clock::now();

    auto update = std::async(std::launch::async, [] {
        CountingProgress progress;
        const UpdateResult result = run_update_check({kSilentName, 80}, "", progress);
        return std::make_pair(result, progress.served.load());
    });
    // The user presses Disconnect while the name is looked up: nothing is left connected.
    auto abandoned = std::async(std::launch::async, [] {
        RemoteSession session;
        int served = 0;
        const LoginResult result = log_in(session, {kSilentName, 55555}, "secret", [&] {
            if (served++ == 0)
                ++session.generation;
        });
        return result == LoginResult::abandoned && !session.connected();
    });
    RemoteSession session;
    int served = 0;
    EXPECT_EQ(log_in(session, {kSilentName, 55555}, "secret", [&served] { ++served; }),
              LoginResult::cannot_resolve);
    EXPECT_FALSE(session.connected());
    EXPECT_GT(served, 20) << "the window is served while the name is looked up";

    const auto [update_result, update_served] = update.get();
    EXPECT_EQ(update_result, UpdateResult::server_not_found);
    EXPECT_GT(update_served, 20);
    EXPECT_TRUE(abandoned.get());
    // Both limits are 5 s; the slack is for a loaded machine.
    const double took = seconds_since(started);
    EXPECT_GE(took, 4.5);
    EXPECT_LT(took, 12.0);

    // A name that resolves is unchanged by the helper thread.
    Ipv4Address address;
    EXPECT_EQ(resolve_ipv4("127.0.0.1", address, 5000), Resolution::found);
    EXPECT_EQ(address.network_order, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(resolve_ipv4("", address, 5000), Resolution::not_found);
}
#endif

// A server that reads, but slowly: each wait for room is short, the whole send would not be.
TEST(NetworkWaits, ASlowlyReadingPeerEndsTheSendAtItsTotalLimit) {
    [[maybe_unused]] const SocketsStarted sockets;
    uint16_t port = 0;
    const int listener = listen_on_loopback(port);
    ASSERT_NE(port, 0);
    std::atomic<bool> stop{false};
    std::thread reader([listener, &stop] {
        const int peer = static_cast<int>(accept(listener, nullptr, nullptr));
        std::string part(40000, '\0');
        // About 4 MB/s: room in the sender's buffer comes back well within each wait.
        while (!stop && peer >= 0) {
            if (readable(peer, 10) && recv(peer, &part[0], static_cast<int>(part.size()), 0) <= 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (peer >= 0)
            close_socket(peer);
    });

    TcpClient client;
    ASSERT_TRUE(client.open());
    Ipv4Address loopback;
    loopback.network_order = htonl(INADDR_LOOPBACK);
    ASSERT_TRUE(client.start_connect(loopback, port));
    ASSERT_EQ(client.wait_connected(2000), SocketWait::ready);
    const std::string data(40 << 20, 'x');  // about ten seconds' worth at that pace
    int served = 0;
    const auto started = Clock::now();
    const size_t sent = client.send_all(data.data(), data.size(), 2000, [&served] { ++served; });
    const double took = seconds_since(started);
    stop = true;
    client.close();
    reader.join();
    close_socket(listener);

    EXPECT_LT(sent, data.size());
    EXPECT_GT(sent, 0u);
    EXPECT_GE(took, 1.9);
    EXPECT_LT(took, 4.0) << "the limit held for each wait but not for the send";
}

}  // namespace
