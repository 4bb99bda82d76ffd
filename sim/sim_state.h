// The one simulated USB device: what it enumerates as, what its firmware holds, what is
// waiting to go out, the faults armed against the host and what the host has sent.
// Internal to sim/; tests use sim_control.h.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/sim_control.h"

// hidapi leaves this type opaque; the simulator's handle only remembers what it was opened as.
struct hid_device_ {
    int report_size = 64;
    uint64_t plug_generation = 0;  // a handle from before an unplug or reset is dead
    bool nonblocking = false;
    std::wstring last_error;
};

namespace sim {

constexpr uint16_t kVendorId = 0x12AA;
constexpr uint16_t kMemoryWindowStart = 0x200;
constexpr size_t kMemoryWindowSize = 0x200;
using MemoryWindow = std::array<uint8_t, kMemoryWindowSize>;

// Memory address of the calibration result (speedometer scale in the configuration block).
constexpr uint16_t kScaleAddress = 0x208;
// Memory address of the programmable-output choice, which the live motion mirrors.
constexpr uint16_t kProgOutputAddress = 0x209;

struct UsbIdentity {
    bool plugged = true;
    uint16_t product_id = 0xF1C9;
    std::string product_string = "USB HID Progr";
    uint64_t plug_generation = 1;
    bool init_fails = false;    // hid_init reports failure, as without a usable HID subsystem
    bool open_refused = false;  // listed but not opened, as a node without access rights
};

struct FirmwareSettings {
    uint16_t type_code = 718;
    uint16_t firmware_number = 22;
    uint8_t sub_version_a = 1;
    uint8_t sub_version_b = 4;
    bool sub_version_silent = false;
    bool greeting_silent = false;
    std::string status_sequence = "1";
    bool status_silent = false;
    bool answers_every_poll = false;
    uint8_t calibration_scale = 9;
    int calibration_delay_polls = 1;
    bool calibration_silent = false;
    uint8_t status_bits = 0x84;  // CAN bus seen, ignition on
    bool speed_available = true;
    float speed = 0.0f;
    bool live_motion = false;
    bool log_lines = false;
    // What remote access reads line by line (command 0x57), and whether data from the server
    // (command 0x66) is acknowledged with reply 7.
    std::vector<std::string> text_lines = {"QN718 event log\r\n", "ignition on 00:12:40\r\n"};
    bool remote_data_silent = false;
};

struct FirmwareRuntime {
    bool greeted = false;             // reply 7 already given since plug/open
    size_t status_index = 0;          // next character of status_sequence
    int calibration_polls_left = -1;  // -1: no measurement running
    bool written_since_read = false;  // the next read-back follows a write
    int64_t last_log_line_ms = 0;
    int64_t motion_start_ms = 0;
    size_t next_text_line = 0;
};

struct Faults {
    int writes_left = -1;  // -1: every write is whole
    ReplyFault next_reply_fault = ReplyFault::none;
    bool two_frames_in_one_run = false;
    int chunk_limit = 0;  // 0: a report carries as much as it can hold
    bool config_read_silent = false;
    bool config_read_wrong_offset = false;
    bool config_read_wrong_count = false;
    int readback_differs_at = -1;
    int commands_until_unplug = -1;
    // The interruption of sim_control.h's arm_call_fault.
    CallFault call_fault = CallFault::none;
    int calls_until_fault = -1;  // -1: none armed; 0: due
    bool call_fault_struck = false;
    bool stalled = false;  // a stall struck: nothing reaches the device or comes from it
    bool corruption_from_call = false;         // next_reply_fault was armed by the call fault
    bool bootloader_reply_corruption = false;  // the next bootloader reply gets a changed byte
};

// What one poll hands to the host.
struct Output {
    enum class Kind { frame, error_dump };
    Kind kind = Kind::frame;
    std::string text;                // frame text (any text for raw replies)
    std::vector<std::string> lines;  // error dump lines
};

struct Traffic {
    std::string host_text;  // frame text being reassembled from output reports
    bool host_frame_open = false;
    std::deque<Output> unasked;  // log lines, error dumps, raw text: before any reply
    std::deque<Output> replies;
    std::deque<std::vector<uint8_t>> input_reports;  // cut and waiting for hid_read
};

struct Observation {
    std::vector<ReceivedCommand> received;
    std::vector<std::vector<uint8_t>> written;
    int polls = 0;
    int opens = 0;             // successful hid_open calls
    int64_t idle_read_ms = 0;  // time-outs of reads that found nothing
};

// The USB HID bootloader: settings a test arms, and what it holds while it runs.
struct BootloaderSettings {
    uint32_t hardware_type = 6;
    uint32_t version = 0x0102;
    uint32_t start_address = 0x1D006000;
    // From this query on (counted from 1 since the bootloader enumerated) reply byte
    // changed_index carries changed_value; 0: never.
    int changed_from_query = 0;
    int changed_index = 0;
    uint8_t changed_value = 0;
    int readback_differs_at = 0;     // the n-th read-back since enumeration differs; 0: none
    int requests_until_unplug = -1;  // the device leaves the bus after this many requests
    int report_interval_us = 0;      // each report takes a bus slot this long; 0: no pacing
    int erase_ms = 2500;             // only with real time-outs
};

// The bootloader's reply waiting for hid_read, and when it can be read at the earliest.
struct BootloaderReplyReport {
    std::vector<uint8_t> bytes;
    int64_t ready_at_ms = 0;
};

struct BootloaderRuntime {
    std::vector<uint8_t> flash;  // program memory from kFlashBase on; empty while never written
    int queries = 0;
    int read_backs = 0;
    int requests = 0;
    int64_t busy_until_ms = 0;  // erasing
    std::deque<BootloaderReplyReport> replies;
    int64_t last_slot_us = 0;  // end of the last bus slot a report took
    // The application the device ran before any erase is still in flash (the simulator keeps
    // no copy of it, only this fact). A device set up as a bootloader by a test has none.
    bool application_intact = true;
};

// A device that restarts leaves the bus and comes back as another product a little later.
struct Reenumeration {
    bool pending = false;
    Product product = Product::programmer_long;
    int64_t at_ms = 0;
};

struct SimState {
    UsbIdentity usb;
    BootloaderSettings bootloader;
    BootloaderRuntime bootloader_runtime;
    Reenumeration reenumeration;
    FirmwareSettings firmware;
    FirmwareRuntime runtime;
    Faults faults;
    Traffic traffic;
    Observation observed;
    MemoryWindow memory{};
    std::string memory_file;
    std::string trace_file;  // demo: each received command code is appended here
    bool real_timeouts = false;
    int hid_calls = 0;  // every hidapi function the host called since the last reset
    std::function<void()> call_hook;
    std::vector<std::unique_ptr<hid_device_>> handles;  // open, not yet closed by the host
    // Handles that a reset took from the host's hands. They stay allocated so that a host
    // still holding one never sees its address reused by a later open.
    std::vector<std::unique_ptr<hid_device_>> retired;
};

SimState& state();

// A demo left running for hours must not grow its observation logs without end; tests look
// at far fewer entries than this.
template <typename T>
void keep_bounded(std::vector<T>& items) {
    constexpr size_t kMaxObserved = 20000;
    if (items.size() >= kMaxObserved) {
        items.erase(items.begin(), items.begin() + kMaxObserved / 2);
    }
}

// The state a reset gives: healthy QN718 with the default configuration memory.
MemoryWindow default_memory();

int64_t monotonic_ms();

// The device leaves the bus: handles die, everything in flight is lost.
void drop_off_bus();

// Handles the host still holds die with the old device and are no longer counted as open.
// Lives with the hidapi functions, so that whatever resets the simulator also links them.
void retire_open_handles();

}  // namespace sim
