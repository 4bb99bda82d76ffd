// The device's own word on whether it reads a vehicle speed from the CAN bus.
#pragma once

constexpr int kSpeedSignalSearching = '2';
constexpr int kNoCanSpeedSignal = '0';

// Sends the status query and returns the status character of the answer, or -1 when no
// answer came.
int query_speed_signal_status();
