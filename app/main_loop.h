// The hand-written main loop: GTK events interleaved with the connection state machine.
#pragma once

#include <cstdint>

enum AppState : int32_t {
    kSearching = 0,
    kGreetingWithCommand1 = 8,
    kGreetingWithCommand4 = 9,
    kConnected = 16,
};

int32_t app_state();
void set_app_state(int32_t state);

// One pass of the loop. The pauses (100 ms without a device, 10 ms each pass) are taken.
void main_loop_pass();
[[noreturn]] void run_main_loop();
