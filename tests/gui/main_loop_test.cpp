// The main loop against the simulated device: what the window shows of the connection, and
// what an idle loop costs.
#include <time.h>

#include <chrono>
#include <fstream>
#include <vector>

#include "gui/connection_fixture.h"

namespace {

using MainLoopTest = ConnectionTest;

// The greeting's moves are the connection machine's; here what the window shows of them.
TEST_F(MainLoopTest, GreetingSaysPleaseWaitAndALostLinkShowsTheSearchAgain) {
    sim::set_greeting_silent(true);
    main_loop_pass();
    ASSERT_EQ(connection().state(), AppState::greeting_with_command1);
    EXPECT_STREQ(status_label_text(), "Please wait...");
    set_version_label("(4)  ");

    // A short write closes the link; the next pass finds no device and searches.
    sim::fail_writes_after(0);
    main_loop_pass();
    EXPECT_FALSE(connection().link().is_open());
    sim::plug(false);
    main_loop_pass();
    EXPECT_EQ(connection().state(), AppState::searching);
    EXPECT_STREQ(status_label_text(), "Searching for device...");
    EXPECT_STREQ(version_label_text(), "");
}

double process_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// How long this thread has stood ready to run while other processes had the cores (0 where
// the kernel does not tell).
double run_queue_wait_seconds() {
    std::ifstream stat("/proc/thread-self/schedstat");
    long long on_cpu_ns = 0, waiting_ns = 0;
    stat >> on_cpu_ns >> waiting_ns;
    return static_cast<double>(waiting_ns) * 1e-9;
}

// This process's CPU time over two seconds of passes, as a share of one core. The time the
// loop was kept waiting for a core does not count, so a loaded machine cannot hide a loop
// that no longer pauses: it takes nearly all the time it gets, an idle one a few percent.
double idle_cpu_share() {
    const auto start = std::chrono::steady_clock::now();
    const double cpu_start = process_cpu_seconds();
    const double wait_start = run_queue_wait_seconds();
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(2))
        main_loop_pass();
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const double runnable = wall.count() - (run_queue_wait_seconds() - wait_start);
    return (process_cpu_seconds() - cpu_start) / runnable;
}

TEST_F(MainLoopTest, AnIdleLoopLeavesTheCoreFreeWithAndWithoutADevice) {
    // The device answers at once and never makes the loop wait: the loop must pause itself.
    sim::plug(false);
    ASSERT_TRUE(pass_until_state(AppState::searching, 5));
    EXPECT_LT(idle_cpu_share(), 0.2) << "searching";

    sim::plug(true);
    ASSERT_TRUE(pass_until_state(AppState::connected));
    EXPECT_LT(idle_cpu_share(), 0.2) << "connected";
}

}  // namespace
