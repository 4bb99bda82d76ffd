// What the device sends arrives as a run of input reports, cut anywhere, mixed with log lines,
// error dumps, read errors and silence. The link's receive path must survive any sequence,
// hand out only replies that decode, and never keep more text than a frame can hold.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/device_link.h"
#include "device/frame_codec.h"
#include "fuzz/fake_hidapi.h"

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    // The first byte picks the report size and whether log lines come back as replies.
    const int report_size = data[0] & 1 ? kShortReportSize : kLongReportSize;
    fake_hid::feed(data + 1, size - 1, report_size);

    size_t device_text = 0;
    DeviceLink link;
    link.set_pause([](int) {});
    link.set_return_log_lines(data[0] & 2);
    link.set_listeners({[&device_text](std::string_view text) { device_text += text.size(); },
                        [](std::string_view) {}});
    for (int opens = 0; opens < 4 && !fake_hid::exhausted(); ++opens) {
        if (link.open() != OpenResult::link)
            break;
        require(link.report_size() == report_size);
        int rounds = 0;
        while (link.is_open() && !fake_hid::exhausted() && ++rounds < 10000) {
            const bool got =
                (rounds % 3 == 0)
                    ? link.await_reply(1, 3, [](const DeviceReply& r) { return r.carries(1); })
                    : link.poll();
            if (!got)
                continue;
            const DeviceReply& reply = link.reply();
            require(reply.reply_length >= 3 && reply.reply_length <= 1024);
            require(reply.payload_length() == reply.reply_length - 3);
            require(static_cast<int>(reply.bytes[0]) + 2 == reply.reply_length);
        }
        link.close();
    }
    // Every byte of device text came out of a report.
    require(device_text <= size * 2 + 64);
    return 0;
}
