// hidapi's C API over the simulated device, linked in place of the real library.
#include <hidapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/sleep.h"
#include "sim/bootloader.h"
#include "sim/environment.h"
#include "sim/report_layer.h"
#include "sim/sim_state.h"

namespace {

using sim::state;

// Nothing ever arrives unasked, so a blocking read with nothing queued would hang for good;
// it gives up after this long instead, as a device that stopped answering would look.
constexpr int kBlockingReadGiveUpMs = 500;
// A hung device never answers a read without a time limit; minutes stand for "never", so that
// a test's own time bound catches the host waiting for it.
constexpr int kStalledBlockingReadMs = 300000;

std::wstring g_global_error;

// Every report that crosses the simulated bus, in order, for comparing two builds' traffic
// byte for byte (the command-code trace shows only what the device understood).
void append_wire(char direction, const unsigned char* data, size_t length) {
    static const char* const path = std::getenv("QN718_SIM_WIRE_FILE");
    if (!path || !*path)
        return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fputc(direction, file);
        for (size_t i = 0; i < length; ++i)
            std::fprintf(file, " %02X", data[i]);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

hid_device* find_handle(hid_device* dev, std::vector<std::unique_ptr<hid_device_>>& list) {
    for (auto& handle : list) {
        if (handle.get() == dev)
            return handle.get();
    }
    return nullptr;
}

// The handle when the host may use it: opened and not closed, and the device it was opened on
// has not left the bus since.
hid_device* usable(hid_device* dev) {
    sim::SimState& s = state();
    hid_device* handle = find_handle(dev, s.handles);
    if (handle && s.usb.plugged && handle->plug_generation == s.usb.plug_generation) {
        return handle;
    }
    hid_device* dead = handle ? handle : find_handle(dev, s.retired);
    if (dead)
        dead->last_error = L"device disconnected";
    return nullptr;
}

void erase_handle(hid_device* dev, std::vector<std::unique_ptr<hid_device_>>& list) {
    list.erase(
        std::remove_if(list.begin(), list.end(),
                       [dev](const std::unique_ptr<hid_device_>& h) { return h.get() == dev; }),
        list.end());
}

// Which program answers on the bus: the application firmware's text frames, or the
// bootloader's binary requests.
void deliver_to_device(const unsigned char* data, size_t length, int report_size) {
    if (sim::bootloader_enumerated()) {
        sim::take_bootloader_report(data, length);
        return;
    }
    const size_t report_length = std::min(length, static_cast<size_t>(report_size) + 1);
    sim::take_output_report(data, report_length, report_size);
}

enum class CallKind { other, write, read };

// Counts one hidapi call and lets an armed interruption strike. Returns true when this call
// is the write or read that the due fault spoils.
bool count_call(CallKind kind) {
    if (state().call_hook) {
        // A copy: the hook may set another one.
        const std::function<void()> hook = state().call_hook;
        hook();
    }
    sim::SimState& s = state();
    ++s.hid_calls;
    sim::Faults& faults = s.faults;
    if (faults.calls_until_fault < 0)
        return false;
    if (faults.calls_until_fault > 0) {
        --faults.calls_until_fault;
        return false;
    }
    switch (faults.call_fault) {
        case sim::CallFault::none:
            break;
        case sim::CallFault::vanish:
            faults.calls_until_fault = -1;
            faults.call_fault_struck = true;
            // A device that was restarting is already the other program; it is only away.
            if (s.reenumeration.pending) {
                const bool intact = s.bootloader_runtime.application_intact;
                sim::set_product(s.reenumeration.product);
                s.bootloader_runtime.application_intact = intact;
            }
            sim::drop_off_bus();
            return false;
        case sim::CallFault::short_write:
            if (kind != CallKind::write)
                return false;
            faults.calls_until_fault = -1;
            faults.call_fault_struck = true;
            return true;
        case sim::CallFault::read_error:
            if (kind != CallKind::read)
                return false;
            faults.calls_until_fault = -1;
            faults.call_fault_struck = true;
            return true;
        case sim::CallFault::stall:
            faults.calls_until_fault = -1;
            faults.call_fault_struck = true;
            faults.stalled = true;
            return false;
        case sim::CallFault::corrupt_frame:
            faults.calls_until_fault = -1;
            if (sim::bootloader_enumerated()) {
                faults.bootloader_reply_corruption = true;
                return false;
            }
            faults.next_reply_fault = sim::ReplyFault::bad_checksum;
            faults.corruption_from_call = true;
            return false;
    }
    return false;
}

}  // namespace

namespace sim {

void retire_open_handles() {
    SimState& s = state();
    for (auto& handle : s.handles) {
        handle->plug_generation = 0;
        s.retired.push_back(std::move(handle));
    }
    s.handles.clear();
}

}  // namespace sim

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_init(void) {
    count_call(CallKind::other);
    sim::apply_environment_once();
    return state().usb.init_fails ? -1 : 0;
}

int HID_API_EXPORT HID_API_CALL hid_exit(void) {
    count_call(CallKind::other);
    return 0;
}

HID_API_EXPORT hid_device* HID_API_CALL hid_open(unsigned short vendor_id,
                                                 unsigned short product_id,
                                                 const wchar_t* serial_number) {
    count_call(CallKind::other);
    sim::settle_bus();
    sim::SimState& s = state();
    if (vendor_id != sim::kVendorId || !s.usb.plugged || product_id != s.usb.product_id ||
        serial_number != nullptr) {
        g_global_error = L"no such device";
        return nullptr;
    }
    if (s.usb.open_refused) {
        g_global_error = L"Permission denied";
        return nullptr;
    }
    auto handle = std::make_unique<hid_device_>();
    handle->report_size = product_id == 0xF1C9 ? 64 : 8;
    handle->plug_generation = s.usb.plug_generation;
    s.handles.push_back(std::move(handle));
    ++s.observed.opens;
    s.runtime.greeted = false;
    return s.handles.back().get();
}

int HID_API_EXPORT_CALL hid_get_product_string(hid_device* dev, wchar_t* string, size_t maxlen) {
    count_call(CallKind::other);
    hid_device* handle = usable(dev);
    if (!handle || !string || maxlen == 0)
        return -1;
    const std::string& product = state().usb.product_string;
    const size_t count = std::min(product.size(), maxlen - 1);
    for (size_t i = 0; i < count; ++i)
        string[i] = static_cast<unsigned char>(product[i]);
    string[count] = L'\0';
    return 0;
}

int HID_API_EXPORT HID_API_CALL hid_write(hid_device* dev, const unsigned char* data,
                                          size_t length) {
    const bool spoiled = count_call(CallKind::write);
    hid_device* handle = usable(dev);
    if (!handle || !data || length == 0)
        return -1;
    sim::SimState& s = state();
    if (s.faults.stalled)
        return static_cast<int>(length);
    if (s.faults.writes_left == 0 || spoiled) {
        // The report never reaches the device; the host learns of it from the count alone.
        handle->last_error = L"short write";
        return static_cast<int>(length) - 1;
    }
    if (s.faults.writes_left > 0)
        --s.faults.writes_left;
    sim::keep_bounded(s.observed.written);
    s.observed.written.emplace_back(data, data + length);
    append_wire('W', data, length);
    deliver_to_device(data, length, handle->report_size);
    return static_cast<int>(length);
}

}  // extern "C"

namespace {

int read_report(hid_device* dev, unsigned char* data, size_t length, int milliseconds,
                bool spoiled) {
    hid_device* handle = usable(dev);
    if (!handle || !data)
        return -1;
    if (spoiled) {
        handle->last_error = L"read error";
        return -1;
    }
    sim::SimState& s = state();
    if (s.faults.stalled) {
        if (milliseconds < 0) {
            sleep_ms(kStalledBlockingReadMs);
            s.observed.idle_read_ms += kStalledBlockingReadMs;
        } else {
            if (s.real_timeouts)
                sleep_ms(milliseconds);
            s.observed.idle_read_ms += milliseconds;
        }
        return 0;
    }
    if (sim::bootloader_enumerated())
        return sim::read_bootloader_report(data, length, milliseconds);
    auto& queue = s.traffic.input_reports;
    if (!queue.empty()) {
        const std::vector<uint8_t> report = std::move(queue.front());
        queue.pop_front();
        const size_t count = std::min(length, report.size());
        std::memcpy(data, report.data(), count);
        return static_cast<int>(count);
    }
    const int waited = milliseconds < 0 ? kBlockingReadGiveUpMs : milliseconds;
    if (s.real_timeouts)
        sleep_ms(waited);
    s.observed.idle_read_ms += waited;
    return 0;
}

}  // namespace

extern "C" {

int HID_API_EXPORT HID_API_CALL hid_read_timeout(hid_device* dev, unsigned char* data,
                                                 size_t length, int milliseconds) {
    const bool spoiled = count_call(CallKind::read);
    const int count = read_report(dev, data, length, milliseconds, spoiled);
    if (count > 0)
        append_wire('R', data, static_cast<size_t>(count));
    return count;
}

int HID_API_EXPORT HID_API_CALL hid_read(hid_device* dev, unsigned char* data, size_t length) {
    const bool spoiled = count_call(CallKind::read);
    hid_device* handle = usable(dev);
    if (!handle)
        return -1;
    const int count = read_report(handle, data, length, handle->nonblocking ? 0 : -1, spoiled);
    if (count > 0)
        append_wire('R', data, static_cast<size_t>(count));
    return count;
}

int HID_API_EXPORT HID_API_CALL hid_set_nonblocking(hid_device* dev, int nonblock) {
    count_call(CallKind::other);
    hid_device* handle = usable(dev);
    if (!handle)
        return -1;
    handle->nonblocking = nonblock != 0;
    return 0;
}

void HID_API_EXPORT HID_API_CALL hid_close(hid_device* dev) {
    count_call(CallKind::other);
    sim::SimState& s = state();
    if (find_handle(dev, s.handles)) {
        erase_handle(dev, s.handles);
        // What the host never read goes with its last handle, as with a real device file.
        if (s.handles.empty()) {
            s.traffic.input_reports.clear();
            s.traffic.host_text.clear();
            s.traffic.host_frame_open = false;
            s.bootloader_runtime.replies.clear();
        }
    } else {
        erase_handle(dev, s.retired);
    }
}

HID_API_EXPORT const wchar_t* HID_API_CALL hid_error(hid_device* dev) {
    count_call(CallKind::other);
    sim::SimState& s = state();
    if (!dev)
        return g_global_error.empty() ? L"Success" : g_global_error.c_str();
    hid_device* known = find_handle(dev, s.handles);
    if (!known)
        known = find_handle(dev, s.retired);
    if (!known || known->last_error.empty())
        return L"Success";
    return known->last_error.c_str();
}

}  // extern "C"
