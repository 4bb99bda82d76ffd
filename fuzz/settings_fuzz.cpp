// The settings file may be damaged or hand-edited; decoding must cope, and what it decodes
// must encode and decode to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/user_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const UserSettings first =
        decode_user_settings(std::string(reinterpret_cast<const char*>(data), size));
    const UserSettings second = decode_user_settings(encode_user_settings(first));
    if (second.language != first.language || second.filter_strings != first.filter_strings ||
        second.last_config_folder != first.last_config_folder) {
        std::abort();
    }
    return 0;
}
