// Long use must not grow the program: connect and unplug cycles, a console fed for an hour.
// Memory is compared after a warm-up; file descriptors must not grow at all.
#include <gtest/gtest.h>

#include <dirent.h>
#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "console/traffic_filter.h"
#include "console/traffic_log.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "sim/sim_control.h"

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kHeapMeasurable = false;  // the sanitizer's allocator keeps freed blocks aside
constexpr int kConsoleSeconds = 300;     // the instrumented build runs a shorter console hour
#else
constexpr bool kHeapMeasurable = true;
constexpr int kConsoleSeconds = 3600;
#endif

size_t heap_in_use() {
    return mallinfo2().uordblks;
}

int open_descriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir))
            ++count;
        closedir(dir);
    }
    return count;
}

// One session as the window has it: found, greeted, identified, a few polls, then unplugged.
void connect_and_unplug(DeviceLink& link) {
    sim::plug(true);
    ASSERT_EQ(link.open(), OpenResult::link);
    link.poll();
    ASSERT_TRUE(link.send_frame(command::kGreeting));
    link.await_reply(reply::kGreeting, 3);
    ASSERT_TRUE(link.send_frame(command::kGreeting));
    ASSERT_TRUE(link.await_reply(reply::kIdentity, 3));
    sim::queue_log_line("*CAN speed 12.0 km/h\n");
    link.poll();
    sim::plug(false);
    EXPECT_FALSE(link.poll());
    EXPECT_FALSE(link.is_open());
    // The simulator's own record of the traffic is the test's, not the program's.
    sim::clear_received();
}

TEST(ResourceBounds, ThousandConnectUnplugCyclesStayFlat) {
    sim::reset();
    DeviceLink link;
    link.set_pause([](int) {});
    std::string device_text;
    link.set_listeners({[&device_text](std::string_view text) { device_text.assign(text); },
                        [](std::string_view) {}});
    for (int i = 0; i < 50; ++i)
        connect_and_unplug(link);
    const size_t heap = heap_in_use();
    const int descriptors = open_descriptors();
    for (int i = 0; i < 1000; ++i) {
        connect_and_unplug(link);
        if (HasFatalFailure())
            return;
    }
    EXPECT_EQ(open_descriptors(), descriptors);
    EXPECT_EQ(sim::open_handles(), 0);
    if (kHeapMeasurable) {
        const long grown = static_cast<long>(heap_in_use()) - static_cast<long>(heap);
        std::printf("1000 connect/unplug cycles: heap %+ld bytes\n", grown);
        EXPECT_LT(grown, 16 * 1024);
    }
}

// One line a millisecond for an hour of the device's time, tagged as device log lines are; the
// store keeps its bound and the filter's view of each addition is built and dropped.
TEST(ResourceBounds, ConsoleFedThousandLinesASecondForAnHourStaysFlat) {
    TrafficStore store;
    TrafficFilter filter;
    filter.enabled = true;
    filter.slot_mask = 0x3;
    filter.slots[0] = "CAN";
    filter.slots[1] = "IO";
    LocalTime now{2024, 3, 7, 14, 0, 0};
    size_t heap = 0;
    size_t largest_capacity = 0;
    size_t shown = 0;
    int shortened = 0;
    const int descriptors = open_descriptors();
    for (int second = 0; second < kConsoleSeconds; ++second) {
        now.second = second % 60;
        now.minute = second / 60 % 60;
        for (int line = 0; line < 1000; ++line) {
            static const char* const tags[] = {"*CAN", "*IO", "*GPS"};
            char text[64];
            std::snprintf(text, sizeof text, "%s speed %d.%d km/h, status 0x84\n", tags[line % 3],
                          line / 10, line % 10);
            const TrafficStore::Added added = store.add(TrafficDirection::received, text, now);
            shortened += added.shortened;
            shown += visible_added_text(added.text, filter).size();
        }
        ASSERT_LT(store.text().size(), TrafficStore::kCapacity);
        largest_capacity = std::max(largest_capacity, store.text().capacity());
        if (second == 60)
            heap = heap_in_use();
    }
    EXPECT_GT(shortened, 0) << "the store never reached its bound";
    EXPECT_GT(shown, 0u);
    EXPECT_LE(largest_capacity, 2 * TrafficStore::kCapacity);
    EXPECT_EQ(open_descriptors(), descriptors);
    if (kHeapMeasurable) {
        const long grown = static_cast<long>(heap_in_use()) - static_cast<long>(heap);
        std::printf("%d s of 1000 lines a second: heap %+ld bytes, store at most %zu bytes\n",
                    kConsoleSeconds, grown, largest_capacity);
        EXPECT_LT(grown, 64 * 1024);
    }
}

}  // namespace
