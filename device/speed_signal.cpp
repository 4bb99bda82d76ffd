#include "device/speed_signal.h"

#include "device/command_codes.h"
#include "device/device_link.h"

int query_speed_signal_status() {
    send_command(command::kStatus);
    if (!await_reply(reply::kDone, kUntilSilent))
        return -1;
    return device_reply().payload()[0];
}
