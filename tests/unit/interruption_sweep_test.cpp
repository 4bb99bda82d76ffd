// Every operation, interrupted at every one of its hidapi calls by each kind of fault: the
// device vanishing, a short write, a read error and a reply with a bad checksum.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <tuple>

#include "unit/interruption_harness.h"

namespace {

using sweep::Operation;
using sweep::Reference;
using sweep::Verdict;

const std::vector<Operation>& all_operations() {
    static const std::vector<Operation> list = sweep::operations();
    return list;
}

// The first `limit` violations as test failures; the rest only counted.
void report(const Operation& op, sim::CallFault fault, int point, const Verdict& verdict,
            int& reported, int limit) {
    for (const std::string& violation : verdict.violations) {
        if (reported++ < limit)
            ADD_FAILURE() << op.name << ", " << sweep::fault_name(fault) << " at call " << point
                          << ": " << violation;
    }
}

class InterruptionSweep : public ::testing::TestWithParam<std::tuple<size_t, sim::CallFault>> {};

TEST_P(InterruptionSweep, InvariantsHoldAtEveryPoint) {
    const Operation& op = all_operations()[std::get<0>(GetParam())];
    const sim::CallFault fault = std::get<1>(GetParam());
    DeviceLink link;
    const Reference ref = sweep::measure(op, link);
    ASSERT_TRUE(ref.outcome.success) << op.name << " fails without any fault";
    ASSERT_GT(ref.calls, 0);

    int struck = 0, in_bootloader = 0, reported = 0;
    int64_t longest_wait = 0;
    for (int point = 0; point < ref.calls; ++point) {
        const Verdict verdict = sweep::run_interrupted(op, ref, link, fault, point);
        struck += verdict.struck;
        longest_wait = std::max(longest_wait, verdict.waited_ms);
        in_bootloader += verdict.ended_in_bootloader;
        // Every point is a call of the operation, so the device can vanish at each of them.
        if (fault == sim::CallFault::vanish && !verdict.struck && reported++ < 10)
            ADD_FAILURE() << op.name << ": the device did not vanish at call " << point;
        report(op, fault, point, verdict, reported, 10);
    }
    std::printf(
        "%s, %s: %d interruption points, the fault struck at %d, %d left the bootloader,"
        " %lld ms the longest wait\n",
        op.name.c_str(), sweep::fault_name(fault), ref.calls, struck, in_bootloader,
        static_cast<long long>(longest_wait));
}

INSTANTIATE_TEST_SUITE_P(AllOperations, InterruptionSweep,
                         ::testing::Combine(::testing::Range<size_t>(0, all_operations().size()),
                                            ::testing::ValuesIn(sweep::kFaults)),
                         [](const ::testing::TestParamInfo<InterruptionSweep::ParamType>& info) {
                             return all_operations()[std::get<0>(info.param)].name + "_" +
                                    sweep::fault_name(std::get<1>(info.param));
                         });

// Not for CI: QN718_INTERRUPTIONS=10000 (tools/interruption-long-run.sh) runs that many
// interruptions picked at random across the operations, faults and points.
TEST(InterruptionLongRun, RandomInterruptions) {
    const char* count_text = std::getenv("QN718_INTERRUPTIONS");
    if (!count_text)
        GTEST_SKIP() << "set QN718_INTERRUPTIONS to run";
    const int count = std::atoi(count_text);
    const char* seed_text = std::getenv("QN718_INTERRUPTION_SEED");
    const unsigned seed = seed_text ? static_cast<unsigned>(std::strtoul(seed_text, nullptr, 10))
                                    : std::random_device{}();
    std::mt19937 random(seed);

    DeviceLink link;
    std::vector<Reference> refs;
    for (const Operation& op : all_operations())
        refs.push_back(sweep::measure(op, link));
    std::map<std::string, std::array<int, 4>> tally;  // runs, struck, bootloader, violations
    const auto started = std::chrono::steady_clock::now();
    int reported = 0;
    for (int i = 0; i < count; ++i) {
        const size_t which = random() % all_operations().size();
        const Operation& op = all_operations()[which];
        const sim::CallFault fault = sweep::kFaults[random() % std::size(sweep::kFaults)];
        const int point = static_cast<int>(random() % static_cast<unsigned>(refs[which].calls));
        const Verdict verdict = sweep::run_interrupted(op, refs[which], link, fault, point);
        std::array<int, 4>& t = tally[op.name];
        t[0] += 1;
        t[1] += verdict.struck;
        t[2] += verdict.ended_in_bootloader;
        t[3] += static_cast<int>(verdict.violations.size());
        report(op, fault, point, verdict, reported, 20);
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("\n%d random interruptions, seed %u, %.1f s\n", count, seed, took.count());
    std::printf("%-30s %8s %8s %8s %11s %10s\n", "operation", "calls", "runs", "struck",
                "bootloader", "violations");
    for (size_t i = 0; i < all_operations().size(); ++i) {
        const std::array<int, 4>& t = tally[all_operations()[i].name];
        std::printf("%-30s %8d %8d %8d %11d %10d\n", all_operations()[i].name.c_str(),
                    refs[i].calls, t[0], t[1], t[2], t[3]);
    }
}

}  // namespace
