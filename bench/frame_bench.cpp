// Frame codec cost for the longest command frame, against the 1 ms a full-speed HID report takes.
#include <benchmark/benchmark.h>

#include <vector>

#include "device/frame_codec.h"

namespace {

std::vector<uint8_t> longest_payload() {
    std::vector<uint8_t> payload(kMaxCommandPayload);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<uint8_t>(i * 37);
    return payload;
}

void BM_EncodeLongestFrame(benchmark::State& state) {
    const auto payload = longest_payload();
    for (auto _ : state) {
        benchmark::DoNotOptimize(encode_frame(0x66, payload.data(), payload.size()));
    }
}
BENCHMARK(BM_EncodeLongestFrame);

void BM_EncodeLongestFrameIntoReports(benchmark::State& state) {
    const auto payload = longest_payload();
    for (auto _ : state) {
        const auto text = encode_frame(0x66, payload.data(), payload.size());
        benchmark::DoNotOptimize(frame_to_reports(text, static_cast<int>(state.range(0))));
    }
}
BENCHMARK(BM_EncodeLongestFrameIntoReports)->Arg(kLongReportSize)->Arg(kShortReportSize);

void BM_DecodeLongestFrame(benchmark::State& state) {
    const auto payload = longest_payload();
    const auto text = encode_frame(0x66, payload.data(), payload.size());
    uint8_t out[1024];
    for (auto _ : state) {
        benchmark::DoNotOptimize(decode_frame(text, out, sizeof out));
    }
}
BENCHMARK(BM_DecodeLongestFrame);

}  // namespace
