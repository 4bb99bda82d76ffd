// The device's own word on whether it reads a vehicle speed from the CAN bus.
#pragma once

class DeviceLink;

enum class SpeedSignal {
    present,    // any answer but "0" and "2"
    absent,     // "0": no speed signal on the CAN bus
    searching,  // "2": still looking
    no_answer,  // no usable answer, or the device went away while it was still looking
};

// Sends the status query once.
SpeedSignal query_speed_signal(DeviceLink& link);
// Sends the status query; while the device answers "2" (still looking) it asks again every
// 500 ms, through the link's pause so the window keeps serving events.
SpeedSignal check_speed_signal(DeviceLink& link);
