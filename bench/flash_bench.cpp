// Flashing the largest accepted image against the simulated bootloader: the host's own cost
// with a bus that costs nothing, and the whole time when each report takes a 1 ms frame, as
// on a full-speed HID bootloader (three reports a block: write, read-back request, reply).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "device/device_link.h"
#include "device/hid_port.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "firmware/flasher.h"
#include "sim/sim_control.h"
#include "support/quiet_flash_host.h"
#include "unit/firmware_files.h"

namespace {

constexpr size_t kLargestImage = 499688;
constexpr double kBlocks = (kLargestImage + kFlashBlockSize - 1) / kFlashBlockSize;

std::string largest_image_file() {
    static const std::string path = [] {
        char pattern[] = "/tmp/qn718-bench-XXXXXX";
        return write_firmware_file(mkdtemp(pattern), "largest.bin",
                                   make_firmware_file(kLargestImage));
    }();
    return path;
}

void flash_once(benchmark::State& state, int report_interval_us) {
    sim::reset();
    start_hidapi();
    sim::set_product(sim::Product::bootloader);
    sim::set_bootloader_report_interval_us(report_interval_us);
    DeviceLink link;
    link.set_pause([](int) {});  // the fixed waits for re-enumeration are not the host's cost
    QuietFlashHost host(largest_image_file());
    const auto image = std::make_unique<FirmwareImage>();
    if (flash_firmware(link, *image, FlashMode::from_bootloader, host) != FlashResult::programmed)
        state.SkipWithError("flashing failed");
}

void BM_FlashLargestImageNoLatency(benchmark::State& state) {
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        flash_once(state, 0);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double per_image = seconds / static_cast<double>(state.iterations());
    state.counters["blocks"] = kBlocks;
    state.counters["us_per_block"] = per_image / kBlocks * 1e6;
    // Share of the ~27 s that a full-speed bootloader needs for the same blocks.
    state.counters["share_of_wire_limit"] = per_image / (kBlocks * 3 * 1e-3);
}
BENCHMARK(BM_FlashLargestImageNoLatency)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FlashLargestImageOneMsPerReport(benchmark::State& state) {
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        flash_once(state, 1000);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double wire_limit = kBlocks * 3 * 1e-3;
    state.counters["wire_limit_s"] = wire_limit;
    state.counters["ratio_to_wire_limit"] =
        seconds / static_cast<double>(state.iterations()) / wire_limit;
}
BENCHMARK(BM_FlashLargestImageOneMsPerReport)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace
