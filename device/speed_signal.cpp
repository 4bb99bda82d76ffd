#include "device/speed_signal.h"

#include "device/command_codes.h"
#include "device/device_link.h"

namespace {

constexpr int kBusyRetryMs = 500;
constexpr uint8_t kSearching = '2';
constexpr uint8_t kNoCanSpeedSignal = '0';

}  // namespace

SpeedSignal query_speed_signal(DeviceLink& link) {
    link.send_command(command::kStatus);
    const auto carries_status = [](const DeviceReply& reply) { return reply.carries(1); };
    if (!link.await_reply(reply::kDone, DeviceLink::kUntilSilent, carries_status))
        return SpeedSignal::no_answer;
    switch (link.reply().payload()[0]) {
        case kNoCanSpeedSignal:
            return SpeedSignal::absent;
        case kSearching:
            return SpeedSignal::searching;
        default:
            return SpeedSignal::present;
    }
}

SpeedSignal check_speed_signal(DeviceLink& link) {
    for (;;) {
        const SpeedSignal signal = query_speed_signal(link);
        if (signal != SpeedSignal::searching)
            return signal;
        link.pause(kBusyRetryMs);
        if (!link.is_open())
            return SpeedSignal::no_answer;
    }
}
