#include "device/speed_signal.h"

#include "device/command_codes.h"
#include "device/link_compat.h"

int query_speed_signal_status() {
    send_command(command::kStatus);
    if (!await_reply(reply::kDone, kUntilSilent))
        return -1;
    return device_reply().payload()[0];
}
