#include "sim/sim_state.h"

#include <chrono>

namespace sim {

SimState& state() {
    static SimState the_state = [] {
        SimState fresh;
        fresh.memory = default_memory();
        return fresh;
    }();
    return the_state;
}

MemoryWindow default_memory() {
    MemoryWindow memory;
    memory.fill(0xFF);  // erased cells
    // Factory configuration block at 0x201: CAN level 3, car number 43, extended level unused.
    const uint8_t block[13] = {3, 2, 3, 0, 2, 0, 0, 0, 0, 0x00, 43, 0, 0};
    for (size_t i = 0; i < sizeof(block); ++i)
        memory[1 + i] = block[i];
    return memory;
}

int64_t monotonic_ms() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void drop_off_bus() {
    SimState& s = state();
    s.usb.plugged = false;
    ++s.usb.plug_generation;
    s.traffic = Traffic{};
    s.runtime.greeted = false;
    s.runtime.calibration_polls_left = -1;
    s.runtime.written_since_read = false;
    s.faults.commands_until_unplug = -1;
    s.faults.stalled = false;  // without power the hung firmware starts afresh
    s.reenumeration.pending = false;
    s.bootloader_runtime.replies.clear();
    s.bootloader_runtime.busy_until_ms = 0;
    s.bootloader_runtime.queries = 0;
    s.bootloader_runtime.read_backs = 0;
    s.bootloader.requests_until_unplug = -1;
}

}  // namespace sim
