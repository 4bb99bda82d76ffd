// The hand-written main loop: GTK events interleaved with the connection state machine.
#pragma once

// One pass of the loop, its pause included.
void main_loop_pass();
[[noreturn]] void run_main_loop();
