// The console's record with a full store: appending a line, rebuilding the filtered view, and
// the cost of device log lines arriving while the window is open. The window cases need a
// display (run under xvfb-run).
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <string>

#include "bench/bench_context.h"
#include "ui/widget_kit.h"
#include "console/traffic_filter.h"
#include "console/traffic_log.h"
#include "device/device_link.h"
#include "ui/console_window.h"

namespace {

constexpr LocalTime kWhen = {2024, 3, 7, 14, 5, 9};

// Device log lines as a busy device sends them: tagged and untagged in turn.
const char* sample_line(size_t i) {
    static const char* const kLines[] = {
        "*CAN rx 0x3E9 8 12 34 00 00 00 00 00 00\n",
        "*IO inputs 0x84\n",
        "output check ok\n",
        "* CAN speed 42.5 km/h, status 0x84\n",
    };
    return kLines[i % 4];
}

void fill(TrafficStore& store) {
    for (size_t i = 0; store.text().size() < TrafficStore::kCapacity - 3000; ++i)
        store.add(TrafficDirection::received, sample_line(i), kWhen);
}

TrafficFilter can_filter() {
    TrafficFilter filter;
    filter.enabled = true;
    filter.slots[0] = "CAN";
    filter.slot_mask = 1;
    return filter;
}

void BM_AppendLineToFullStore(benchmark::State& state) {
    TrafficStore store;
    fill(store);
    size_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.add(TrafficDirection::received, sample_line(i++), kWhen));
}
BENCHMARK(BM_AppendLineToFullStore);

void BM_FilterFullStore(benchmark::State& state) {
    TrafficStore store;
    fill(store);
    const TrafficFilter filter = can_filter();
    for (auto _ : state)
        benchmark::DoNotOptimize(filtered_traffic_text(store.text(), filter));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * store.text().size()));
}
BENCHMARK(BM_FilterFullStore)->Unit(benchmark::kMillisecond);

bool open_console_with_full_store() {
    static const bool display = [] {
        int argc = 0;
        if (!gtk_init_check(&argc, nullptr))
            return false;
        create_fonts();
        return true;
    }();
    if (!display)
        return false;
    TrafficLog& traffic = bench_context().traffic;
    traffic.clear();
    for (size_t i = 0; traffic.text().size() < TrafficStore::kCapacity - 3000; ++i)
        traffic.log(TrafficDirection::received, sample_line(i));
    static DeviceLink link;  // never opened: the view alone is measured
    open_console(link);
    process_pending_events();
    return true;
}

// The whole view built again from a full store through the filter: the filter pass and the
// refill of the view's buffer, which block the program.
void BM_RebuildFilteredView(benchmark::State& state) {
    if (!open_console_with_full_store()) {
        state.SkipWithError("no display");
        return;
    }
    bench_context().filter = can_filter();
    for (auto _ : state) {
        reload_console_view();
        state.PauseTiming();
        process_pending_events();
        state.ResumeTiming();
    }
    bench_context().filter = TrafficFilter{};
    close_console();
}
BENCHMARK(BM_RebuildFilteredView)->Unit(benchmark::kMillisecond)->Iterations(20);

// The same until GTK has laid out every line. The layout runs in idle steps that let input
// events in between; the counter is the longest single step, what a click may wait for.
void BM_RebuildFilteredViewLaidOut(benchmark::State& state) {
    if (!open_console_with_full_store()) {
        state.SkipWithError("no display");
        return;
    }
    bench_context().filter = can_filter();
    double longest_step = 0;
    for (auto _ : state) {
        reload_console_view();
        while (gtk_events_pending()) {
            const auto start = std::chrono::steady_clock::now();
            gtk_main_iteration();
            const std::chrono::duration<double, std::milli> step =
                std::chrono::steady_clock::now() - start;
            longest_step = std::max(longest_step, step.count());
        }
    }
    state.counters["longest_step_ms"] = longest_step;
    bench_context().filter = TrafficFilter{};
    close_console();
}
BENCHMARK(BM_RebuildFilteredViewLaidOut)->Unit(benchmark::kMillisecond)->Iterations(20);

// Device log lines into an open console with autoscroll, with the events a main-loop pass
// serves every ten lines; the store keeps dropping its oldest half meanwhile. The counter
// says how much of one core 1,000 lines a second would take.
void BM_LogLinesIntoOpenConsole(benchmark::State& state) {
    if (!open_console_with_full_store()) {
        state.SkipWithError("no display");
        return;
    }
    size_t i = 0;
    timespec start{}, end{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    for (auto _ : state) {
        bench_context().traffic.log(TrafficDirection::received, sample_line(i++));
        if (i % 10 == 0)
            process_pending_events();
    }
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    const double cpu = static_cast<double>(end.tv_sec - start.tv_sec) +
                       static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
    // CPU seconds per line, times 1,000 lines a second, as a percentage of one core.
    state.counters["core_percent_at_1000_per_s"] =
        cpu / static_cast<double>(state.iterations()) * 1000 * 100;
    close_console();
}
BENCHMARK(BM_LogLinesIntoOpenConsole)->Unit(benchmark::kMicrosecond)->Iterations(20000);

}  // namespace
