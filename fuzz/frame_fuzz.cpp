// Device replies are untrusted bytes: decoding must never read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "device/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    uint8_t out[1024];
    std::string_view rest = text;
    while (!rest.empty() && rest[0] == '!') {
        const FrameDecodeResult frame = decode_frame(rest, out, sizeof out);
        // A good frame always carries its length byte, a code and a checksum.
        if (frame.good && (frame.length < 3 || out[0] + 2 != frame.length))
            __builtin_trap();
        if (frame.consumed == 0)
            break;
        rest.remove_prefix(frame.consumed);
    }
    if (size >= static_cast<size_t>(kLongReportSize)) {
        parse_input_report(data, kLongReportSize);
        is_error_dump_report(data, kLongReportSize);
    }
    if (size >= static_cast<size_t>(kShortReportSize))
        parse_input_report(data, kShortReportSize);
    return 0;
}
