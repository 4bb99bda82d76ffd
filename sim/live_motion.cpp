#include "sim/live_motion.h"

#include <cmath>

namespace sim {
namespace {

constexpr uint8_t kFrontSensorOutput = 0x01;
constexpr uint8_t kProgrammableOutput = 0x02;
constexpr uint8_t kIgnitionCan = 0x04;
constexpr uint8_t kReverseGearCan = 0x10;
constexpr uint8_t kCanBus = 0x80;

constexpr double kCycleMs = 90000.0;  // one drive from standstill to standstill
constexpr double kTopSpeed = 60.0;
constexpr double kFrontSensorBelow = 15.0;  // km/h
constexpr double kPi = 3.14159265358979323846;

}  // namespace

LiveValues live_values_at(int64_t elapsed_ms, uint8_t prog_output_choice) {
    const int64_t cycle = elapsed_ms / static_cast<int64_t>(kCycleMs);
    const double phase =
        static_cast<double>(elapsed_ms % static_cast<int64_t>(kCycleMs)) / kCycleMs;
    // Smooth rise to top speed and back: standing still around the ends of every cycle.
    double speed = kTopSpeed * 0.5 * (1.0 - std::cos(2.0 * kPi * phase));
    if (speed < 0.5)
        speed = 0.0;

    LiveValues values;
    values.speed = static_cast<float>(speed);
    values.status_bits = kCanBus | kIgnitionCan;
    if (speed < kFrontSensorBelow)
        values.status_bits |= kFrontSensorOutput;
    // Every other stop the driver backs into a parking space.
    const bool reversing = cycle % 2 == 1 && phase < 0.05;
    if (reversing)
        values.status_bits |= kReverseGearCan;
    if ((prog_output_choice == 1) || (prog_output_choice == 2 && reversing)) {
        values.status_bits |= kProgrammableOutput;
    }
    return values;
}

}  // namespace sim
