// Idle cost of the main loop: process CPU time per second of wall time, with no device and
// with the simulated device connected. Needs a display (run under xvfb-run).
#include <benchmark/benchmark.h>
#include <gtk/gtk.h>

#include <ctime>

#include "bench/bench_context.h"
#include "device/hid_port.h"
#include "ui/main_loop.h"
#include "ui/main_window.h"
#include "ui/widget_kit.h"
#include "ui/connection.h"
#include "sim/sim_control.h"

namespace {

double process_cpu_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double wall_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool prepare_window() {
    static bool ready = false;
    if (ready)
        return true;
    int argc = 0;
    if (!gtk_init_check(&argc, nullptr))
        return false;
    sim::reset();
    sim::set_real_timeouts(true);
    start_hidapi();
    bench_context();
    create_fonts();
    create_main_window(connection().link());
    build_status_rows();
    gtk_widget_show(main_window());
    ready = true;
    return true;
}

void measure_idle(benchmark::State& state, bool plugged) {
    if (!prepare_window()) {
        state.SkipWithError("no display");
        return;
    }
    sim::plug(plugged);
    for (int i = 0; i < 300 && plugged && connection().state() != AppState::connected; ++i)
        main_loop_pass();
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpu0 = process_cpu_seconds(), wall0 = wall_seconds();
        for (int i = 0; i < 20; ++i)
            main_loop_pass();
        cpu += process_cpu_seconds() - cpu0;
        wall += wall_seconds() - wall0;
    }
    state.counters["cpu_percent_of_one_core"] = wall > 0 ? 100.0 * cpu / wall : 0;
}

void BM_MainLoopIdleWithoutDevice(benchmark::State& state) {
    measure_idle(state, false);
}
BENCHMARK(BM_MainLoopIdleWithoutDevice)->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_MainLoopIdleConnected(benchmark::State& state) {
    measure_idle(state, true);
}
BENCHMARK(BM_MainLoopIdleConnected)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
