// The update server's response is read by the program before anything else checks it; its
// header rules and the version body must cope with any bytes, and what they accept must hold
// together.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "update/http_message.h"
#include "update/program_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    const ResponseHead head = parse_response_head(bytes, size);
    if (head.status == HeadStatus::incomplete && size >= kHeaderScanLimit)
        std::abort();
    if (head.status != HeadStatus::complete)
        return 0;
    if (head.content_length == 0 || head.body_offset > size || head.body_offset > kHeaderScanLimit)
        std::abort();
    // The same head must be found again however much of the body has arrived.
    const ResponseHead again = parse_response_head(bytes, head.body_offset);
    if (again.status != HeadStatus::complete || again.body_offset != head.body_offset ||
        again.content_length != head.content_length)
        std::abort();
    const size_t body_size = std::min(size - head.body_offset, head.content_length);
    ProgramVersion version;
    if (parse_version_body(std::string_view(bytes + head.body_offset, body_size), version) &&
        (version.major < 0 || version.minor < 0 || version.patch < 0))
        std::abort();
    return 0;
}
