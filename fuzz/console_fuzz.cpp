// What the user types into the console's data field, and device text recorded in the store,
// must never read or write out of bounds, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_command.h"
#include "console/traffic_filter.h"
#include "console/traffic_log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<uint8_t> bytes = parse_console_data(text);
    if (bytes.size() > size)
        __builtin_trap();  // every byte comes from at least one character
    uint8_t out[8];
    parse_hex_bytes(out, text, static_cast<int>(sizeof out));

    static TrafficStore store;
    const TrafficStore::Added added =
        store.add(size % 2 ? TrafficDirection::sent : TrafficDirection::received, text,
                  LocalTime{2024, 3, 7, 14, 5, 9});
    if (store.text().size() >= TrafficStore::kCapacity)
        __builtin_trap();
    TrafficFilter filter;
    filter.enabled = true;
    filter.slot_mask = size & 0x1FFFFFF;
    filter.slots[0] = std::string(text.substr(0, 8));
    visible_added_text(added.text, filter);
    filtered_traffic_text(added.text, filter);
    return 0;
}
