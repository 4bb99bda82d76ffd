// A .cfg file comes from anywhere: the line splitter and the decoder must cope with any bytes,
// and what a decoded file writes out must read back as itself.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/cfg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const ConfigLine& line : split_config_lines(text)) {
        if (line.key.size() + line.value.size() > kConfigLineMaxChars)
            __builtin_trap();
    }
    const CfgDecoded decoded = decode_cfg(text, ConfigRecord{});
    if (decoded.problem)
        return 0;
    const std::string written = encode_cfg(decoded.record);
    if (written.size() > kConfigFileMaxBytes)
        __builtin_trap();
    ConfigRecord other;
    other.can_level = 7;
    other.car_number = 99;
    const CfgDecoded again = decode_cfg(written, other);
    if (again.problem || encode_cfg(again.record) != written)
        __builtin_trap();
    return 0;
}
