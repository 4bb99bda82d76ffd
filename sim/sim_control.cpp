// The test and demo controls of sim_control.h over the one simulated device.
#include "sim/sim_control.h"

#include <algorithm>

#include "sim/application_firmware.h"
#include "sim/bootloader.h"
#include "sim/environment.h"
#include "sim/memory_file.h"
#include "sim/sim_state.h"

namespace sim {

void reset() {
    forgo_environment();
    retire_open_handles();
    SimState& s = state();
    std::vector<std::unique_ptr<hid_device_>> retired = std::move(s.retired);
    const uint64_t generation = s.usb.plug_generation + 1;
    s = SimState{};
    s.retired = std::move(retired);
    s.usb.plug_generation = generation;
    s.memory = default_memory();
}

void set_real_timeouts(bool real) {
    state().real_timeouts = real;
}

void plug(bool plugged) {
    SimState& s = state();
    s.reenumeration.pending = false;  // the test's word wins over a restart under way
    if (plugged == s.usb.plugged)
        return;
    if (plugged) {
        s.usb.plugged = true;
        s.runtime.greeted = false;
    } else {
        drop_off_bus();
    }
}

bool plugged() {
    return state().usb.plugged;
}

void set_product(Product product) {
    struct Preset {
        uint16_t product_id;
        const char* product_string;
    };
    Preset preset = {0xF1C9, "USB HID Progr"};
    switch (product) {
        case Product::programmer_long:
            break;
        case Product::programmer_short:
            preset = {0xF1F7, "USB HID Progr"};
            break;
        case Product::usbic_short:
            preset = {0xF1F5, "USBIC"};
            break;
        case Product::bootloader:
            preset = {0xF1C9, "USB Bootloader"};
            break;
        case Product::unknown:
            preset = {0xF1C9, "Some Other Device"};
            break;
    }
    set_product_id(preset.product_id);
    set_product_string(preset.product_string);
    // Set up as a bootloader, the device is one whose update failed: no application to start.
    if (product == Product::bootloader)
        state().bootloader_runtime.application_intact = false;
}

void set_product_id(uint16_t product_id) {
    state().usb.product_id = product_id;
}
void set_product_string(const std::string& text) {
    state().usb.product_string = text;
}

void set_device_type(uint16_t type_code) {
    state().firmware.type_code = type_code;
}
void set_firmware_number(uint16_t firmware) {
    state().firmware.firmware_number = firmware;
}

void set_sub_version(uint8_t a, uint8_t b) {
    state().firmware.sub_version_a = a;
    state().firmware.sub_version_b = b;
}

void set_sub_version_silent(bool silent) {
    state().firmware.sub_version_silent = silent;
}
void set_text_lines(const std::vector<std::string>& lines) {
    state().firmware.text_lines = lines;
}
void set_remote_data_silent(bool silent) {
    state().firmware.remote_data_silent = silent;
}
void set_greeting_silent(bool silent) {
    state().firmware.greeting_silent = silent;
}

void set_status_sequence(const std::string& characters) {
    state().firmware.status_sequence = characters;
    state().runtime.status_index = 0;
}

void set_status_silent(bool silent) {
    state().firmware.status_silent = silent;
}

void set_answers_every_poll(bool on) {
    state().firmware.answers_every_poll = on;
}

uint8_t memory_byte(uint16_t address) {
    if (address < kMemoryWindowStart || address >= kMemoryWindowStart + kMemoryWindowSize) {
        return 0;
    }
    return state().memory[address - kMemoryWindowStart];
}

void set_memory_byte(uint16_t address, uint8_t value) {
    if (address < kMemoryWindowStart || address >= kMemoryWindowStart + kMemoryWindowSize)
        return;
    state().memory[address - kMemoryWindowStart] = value;
}

void set_memory(uint16_t address, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
        set_memory_byte(static_cast<uint16_t>(address + i), bytes[i]);
    }
}

void set_init_fails(bool fails) {
    state().usb.init_fails = fails;
}

void set_open_refused(bool refused) {
    state().usb.open_refused = refused;
}

void set_trace_file(const std::string& path) {
    state().trace_file = path;
}

void set_memory_file(const std::string& path) {
    SimState& s = state();
    s.memory_file = path;
    load_memory_file(path, s.memory);
}

void set_calibration(uint8_t scale_index, int delay_polls) {
    state().firmware.calibration_scale = scale_index;
    state().firmware.calibration_delay_polls = delay_polls;
}

void set_calibration_silent(bool silent) {
    state().firmware.calibration_silent = silent;
}

void set_status_bits(uint8_t bits) {
    state().firmware.status_bits = bits;
}

void set_speed(bool available, float km_per_hour) {
    state().firmware.speed_available = available;
    state().firmware.speed = km_per_hour;
}

void set_live_motion(bool moving) {
    SimState& s = state();
    if (moving && !s.firmware.live_motion)
        s.runtime.motion_start_ms = monotonic_ms();
    s.firmware.live_motion = moving;
}

void queue_log_line(const std::string& text) {
    queue_log_frame(text);
}

void queue_error_dump(const std::vector<std::string>& lines) {
    Output output;
    output.kind = Output::Kind::error_dump;
    output.lines = lines;
    state().traffic.unasked.push_back(std::move(output));
}

void queue_raw_reply(const std::string& frame_text) {
    Output output;
    output.text = frame_text;
    state().traffic.unasked.push_back(std::move(output));
}

void fail_writes_after(int good_writes) {
    state().faults.writes_left = std::max(good_writes, 0);
}
void clear_write_fault() {
    state().faults.writes_left = -1;
}
void set_next_reply_fault(ReplyFault fault) {
    state().faults.next_reply_fault = fault;
}
void set_two_frames_in_one_run(bool on) {
    state().faults.two_frames_in_one_run = on;
}
void set_chunk_limit(int characters) {
    state().faults.chunk_limit = characters;
}
void set_config_read_silent(bool silent) {
    state().faults.config_read_silent = silent;
}
void set_config_read_wrong_offset(bool on) {
    state().faults.config_read_wrong_offset = on;
}
void set_config_read_wrong_count(bool on) {
    state().faults.config_read_wrong_count = on;
}
void set_readback_differs_at(int index) {
    state().faults.readback_differs_at = index;
}

void unplug_after_commands(int commands) {
    state().faults.commands_until_unplug = commands > 0 ? commands : -1;
}

void set_call_hook(std::function<void()> hook) {
    state().call_hook = std::move(hook);
}

int hid_calls() {
    return state().hid_calls;
}

void arm_call_fault(int calls, CallFault fault) {
    Faults& faults = state().faults;
    faults.call_fault = fault;
    faults.calls_until_fault = fault == CallFault::none ? -1 : std::max(calls, 0);
    faults.call_fault_struck = false;
    faults.corruption_from_call = false;
    faults.bootloader_reply_corruption = false;
}

bool call_fault_struck() {
    return state().faults.call_fault_struck;
}

bool stalled() {
    return state().faults.stalled;
}

int64_t idle_read_ms() {
    return state().observed.idle_read_ms;
}

void replug() {
    power_on_again();
}

const std::vector<ReceivedCommand>& received_commands() {
    return state().observed.received;
}

int count_commands(uint8_t code) {
    const auto& received = state().observed.received;
    return static_cast<int>(
        std::count_if(received.begin(), received.end(),
                      [code](const ReceivedCommand& c) { return c.code == code; }));
}

void clear_received() {
    state().observed = Observation{};
}

const std::vector<std::vector<uint8_t>>& written_reports() {
    return state().observed.written;
}
int poll_reports() {
    return state().observed.polls;
}
int open_count() {
    return state().observed.opens;
}
int open_handles() {
    return static_cast<int>(state().handles.size());
}

}  // namespace sim

namespace sim {

void set_bootloader_hardware_type(uint32_t type) {
    state().bootloader.hardware_type = type;
}
void set_bootloader_version(uint8_t major, uint8_t minor) {
    state().bootloader.version = static_cast<uint32_t>(major) << 8 | minor;
}
void set_bootloader_start_address(uint32_t address) {
    state().bootloader.start_address = address;
}
void change_bootloader_query_from(int query, int byte_index, uint8_t value) {
    BootloaderSettings& b = state().bootloader;
    b.changed_from_query = query;
    b.changed_index = byte_index;
    b.changed_value = value;
}
void set_bootloader_readback_differs(int read_back) {
    state().bootloader.readback_differs_at = read_back;
}
void unplug_bootloader_after_requests(int requests) {
    state().bootloader.requests_until_unplug = requests > 0 ? requests : -1;
}
void set_bootloader_report_interval_us(int microseconds) {
    state().bootloader.report_interval_us = std::max(microseconds, 0);
}
void set_bootloader_erase_ms(int milliseconds) {
    state().bootloader.erase_ms = std::max(milliseconds, 0);
}
int bootloader_requests() {
    return state().bootloader_runtime.requests;
}
std::vector<uint8_t> bootloader_flash(uint32_t address, size_t count) {
    std::vector<uint8_t> bytes(count, 0xFF);
    const std::vector<uint8_t>& flash = state().bootloader_runtime.flash;
    for (size_t i = 0; i < count; ++i) {
        const uint64_t at = uint64_t{address} + i;
        if (!flash.empty() && at >= kFlashBase && at < kFlashBase + kFlashSize)
            bytes[i] = flash[at - kFlashBase];
    }
    return bytes;
}
bool restart_pending() {
    return state().reenumeration.pending;
}

}  // namespace sim
