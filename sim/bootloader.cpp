#include "sim/bootloader.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/sleep.h"
#include "sim/sim_state.h"

namespace sim {
namespace {

const char kBootloaderProduct[] = "USB Bootloader";
constexpr uint32_t kApplicationStart = 0x1D006000;
constexpr uint32_t kApplicationLength = 0x7A000;
constexpr uint32_t kMarkerAddress = 0x1D07FFF8;
const uint8_t kValidMarker[8] = {0x5A, 0x17, 0xC3, 0xE0, 0x94, 0x4B, 0x2D, 0x68};
// A restarting device is away from the bus about this long.
constexpr int kReenumerationMs = 700;
// Nothing ever arrives unasked, so a read that waits for good gives up after this long.
constexpr int kBlockingReadGiveUpMs = 500;
constexpr size_t kReplySize = 64;

std::vector<uint8_t>& flash() {
    std::vector<uint8_t>& memory = state().bootloader_runtime.flash;
    if (memory.empty())
        memory.assign(kFlashSize, 0xFF);
    return memory;
}

bool in_flash(uint32_t address, size_t count) {
    return address >= kFlashBase && address - kFlashBase + count <= kFlashSize;
}

int64_t monotonic_us() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// A full-speed interrupt endpoint moves one report per frame: each report takes the next free
// frame of a fixed grid, so an oversleep here is not carried into the next report.
void take_bus_slot() {
    const int interval = state().bootloader.report_interval_us;
    if (interval <= 0)
        return;
    int64_t& last = state().bootloader_runtime.last_slot_us;
    const int64_t now = monotonic_us();
    int64_t slot = (now / interval + 1) * interval;
    if (slot <= last)
        slot = last + interval;
    last = slot;
    std::this_thread::sleep_until(
        std::chrono::steady_clock::time_point(std::chrono::microseconds(slot)));
}

uint32_t address_of(const uint8_t* request) {
    return static_cast<uint32_t>(request[2]) | static_cast<uint32_t>(request[3]) << 8 |
           static_cast<uint32_t>(request[4]) << 16 | static_cast<uint32_t>(request[5]) << 24;
}

void put_le32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

void queue_reply(std::vector<uint8_t> bytes) {
    SimState& s = state();
    // The bootloader's replies carry no checksum; a spoiled one differs in the low byte of the
    // start address of a query reply, the address of a read-back.
    if (s.faults.bootloader_reply_corruption) {
        s.faults.bootloader_reply_corruption = false;
        s.faults.call_fault_struck = true;
        bytes[4] ^= 0x01;
    }
    const int64_t ready = std::max(monotonic_ms(), s.bootloader_runtime.busy_until_ms);
    s.bootloader_runtime.replies.push_back({std::move(bytes), ready});
}

void answer_query() {
    SimState& s = state();
    const BootloaderSettings& settings = s.bootloader;
    const int query = ++s.bootloader_runtime.queries;
    std::vector<uint8_t> reply(kReplySize, 0);
    reply[0] = 0x02;
    reply[1] = 0x38;
    reply[2] = 0x03;
    reply[3] = 0x01;
    put_le32(reply, 4, settings.start_address);
    put_le32(reply, 8, kApplicationLength);
    reply[12] = 0xFE;
    put_le32(reply, 13, settings.hardware_type);
    put_le32(reply, 17, settings.version);
    if (settings.changed_from_query > 0 && query >= settings.changed_from_query &&
        settings.changed_index >= 0 && static_cast<size_t>(settings.changed_index) < kReplySize)
        reply[static_cast<size_t>(settings.changed_index)] = settings.changed_value;
    queue_reply(std::move(reply));
}

void erase_application() {
    SimState& s = state();
    std::vector<uint8_t>& memory = flash();
    std::fill(memory.begin() + (kApplicationStart - kFlashBase), memory.end(), 0xFF);
    s.bootloader_runtime.application_intact = false;
    if (s.real_timeouts)
        s.bootloader_runtime.busy_until_ms = monotonic_ms() + s.bootloader.erase_ms;
}

// The data are the last count bytes of the request. Programming only clears bits, as on real
// flash: a cell written twice without an erase reads back wrong.
void program(const uint8_t* request) {
    const uint32_t address = address_of(request);
    const size_t count = std::min<size_t>(request[6], 58);
    if (address < kApplicationStart || !in_flash(address, count))
        return;
    const uint8_t* data = request + 65 - count;
    std::vector<uint8_t>& memory = flash();
    for (size_t i = 0; i < count; ++i)
        memory[address - kFlashBase + i] &= data[i];
}

void answer_read_back(const uint8_t* request) {
    SimState& s = state();
    const uint32_t address = address_of(request);
    const size_t count = std::min<size_t>(request[6], 58);
    std::vector<uint8_t> reply(request + 1, request + 65);
    if (in_flash(address, count)) {
        const std::vector<uint8_t>& memory = flash();
        std::copy_n(memory.begin() + (address - kFlashBase), count, reply.end() - count);
    }
    if (++s.bootloader_runtime.read_backs == s.bootloader.readback_differs_at)
        reply.back() ^= 0x01;
    queue_reply(std::move(reply));
}

bool marker_in_place() {
    const std::vector<uint8_t>& memory = flash();
    return std::equal(kValidMarker, kValidMarker + 8,
                      memory.begin() + (kMarkerAddress - kFlashBase));
}

void leave_bus_and_return_as(Product product) {
    SimState& s = state();
    // A fault armed against the command that caused the restart still strikes.
    const int commands_until_unplug = s.faults.commands_until_unplug;
    drop_off_bus();
    s.faults.commands_until_unplug = commands_until_unplug;
    s.reenumeration.pending = true;
    s.reenumeration.product = product;
    s.reenumeration.at_ms = monotonic_ms() + (s.real_timeouts ? kReenumerationMs : 0);
}

// The bootloader starts the application only when the image was finished with its marker.
void restart() {
    if (!marker_in_place()) {
        leave_bus_and_return_as(Product::bootloader);
        return;
    }
    const int number = firmware_number_in_flash();
    if (number >= 0)
        state().firmware.firmware_number = static_cast<uint16_t>(number);
    leave_bus_and_return_as(Product::programmer_long);
}

}  // namespace

bool bootloader_enumerated() {
    return state().usb.product_string == kBootloaderProduct;
}

void take_bootloader_report(const uint8_t* report, size_t length) {
    take_bus_slot();
    // Anything but a whole 65-byte report is not a request this bootloader understands.
    if (length != 65)
        return;
    SimState& s = state();
    ++s.bootloader_runtime.requests;
    switch (report[1]) {
        case 0x02:
            answer_query();
            break;
        case 0x04:
            erase_application();
            break;
        case 0x05:
            program(report);
            break;
        case 0x07:
            answer_read_back(report);
            break;
        case 0x08:
            restart();
            return;
        default:
            break;  // unlock and complete change nothing the host can see
    }
    if (s.bootloader.requests_until_unplug > 0 && --s.bootloader.requests_until_unplug == 0)
        drop_off_bus();
}

int read_bootloader_report(uint8_t* data, size_t length, int timeout_ms) {
    take_bus_slot();
    SimState& s = state();
    auto& replies = s.bootloader_runtime.replies;
    const int64_t now = monotonic_ms();
    const int64_t wait_limit = timeout_ms < 0 ? kBlockingReadGiveUpMs : timeout_ms;
    if (replies.empty() || replies.front().ready_at_ms - now > wait_limit) {
        if (s.real_timeouts)
            sleep_ms(static_cast<int>(wait_limit));
        s.observed.idle_read_ms += wait_limit;
        return 0;
    }
    if (replies.front().ready_at_ms > now)
        sleep_ms(static_cast<int>(replies.front().ready_at_ms - now));
    const std::vector<uint8_t> reply = std::move(replies.front().bytes);
    replies.pop_front();
    const size_t count = std::min(length, reply.size());
    std::memcpy(data, reply.data(), count);
    return static_cast<int>(count);
}

void restart_into_bootloader() {
    leave_bus_and_return_as(Product::bootloader);
}

void settle_bus() {
    SimState& s = state();
    if (!s.reenumeration.pending || monotonic_ms() < s.reenumeration.at_ms)
        return;
    s.reenumeration.pending = false;
    // A restart into the bootloader leaves the application where it was.
    const bool intact = s.bootloader_runtime.application_intact;
    set_product(s.reenumeration.product);
    s.bootloader_runtime.application_intact = intact;
    plug(true);
}

void power_on_again() {
    SimState& s = state();
    s.faults.stalled = false;  // a hung firmware starts afresh
    if (s.reenumeration.pending) {
        s.reenumeration.pending = false;
        s.reenumeration.at_ms = 0;
        const bool intact = s.bootloader_runtime.application_intact;
        set_product(s.reenumeration.product);
        s.bootloader_runtime.application_intact = intact;
    }
    if (bootloader_enumerated()) {
        if (marker_in_place()) {
            const int number = firmware_number_in_flash();
            if (number >= 0)
                s.firmware.firmware_number = static_cast<uint16_t>(number);
            set_product(Product::programmer_long);
        } else if (s.bootloader_runtime.application_intact) {
            set_product(Product::programmer_long);
        }
    }
    plug(true);
}

int firmware_number_in_flash() {
    static const char kTag[] = "QN718FW";
    const std::vector<uint8_t>& memory = flash();
    const auto start = memory.begin() + (kApplicationStart - kFlashBase);
    const auto end = start + 4096;
    const auto found = std::search(start, end, kTag, kTag + 7);
    if (found == end || end - found < 11)
        return -1;
    int number = 0;
    for (auto digit = found + 7; digit != found + 11; ++digit) {
        if (*digit < '0' || *digit > '9')
            return -1;
        number = number * 10 + (*digit - '0');
    }
    return number;
}

}  // namespace sim
