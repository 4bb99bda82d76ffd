// A .cfg file comes from anywhere: the line splitter and the readers that apply each line to
// the page must cope with any bytes, and what they leave on the page must write out again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "config/cfg_file.h"
#include "unit/recording_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const ConfigLine& line : split_config_lines(text)) {
        if (line.key.size() + line.value.size() > kConfigLineMaxChars)
            __builtin_trap();
    }
    RecordingPage page;
    read_config_text(page, text);
    const std::string written = write_config_text(page);
    if (written.size() > kConfigFileMaxBytes)
        __builtin_trap();
    // What was written reads back to a page that writes the same file.
    RecordingPage again;
    read_config_text(again, written);
    if (write_config_text(again) != written)
        __builtin_trap();
    return 0;
}
