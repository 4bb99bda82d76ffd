// A .cfg file comes from anywhere: the line splitter must cope with any bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "config/cfg_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const ConfigLine& line : split_config_lines(text)) {
        if (line.key.size() + line.value.size() > kConfigLineMaxChars)
            __builtin_trap();
    }
    return 0;
}
