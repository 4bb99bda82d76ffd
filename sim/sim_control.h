// Control of the simulated QN718 that stands behind hidapi's C API in the demo and the tests.
// The simulator is linked in place of hidapi; production code never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sim {

// What the simulated USB device enumerates as.
enum class Product {
    programmer_long,   // 0xF1C9, "USB HID Progr", 64-byte reports
    programmer_short,  // 0xF1F7, "USB HID Progr", 8-byte reports
    usbic_short,       // 0xF1F5, "USBIC", 8-byte reports
    bootloader,        // 0xF1C9, "USB Bootloader"
    unknown,           // 0xF1C9, "Some Other Device"
};

// Back to a plugged, healthy QN718 (type 718, firmware 22, long reports, sub-version answered,
// default configuration memory) with fast time-outs and empty logs. Settings from the
// environment are not applied again.
void reset();

// Time-outs: fast (a read with nothing to give returns at once) suits tests; real waits the
// requested time like a device would. The demo uses real time-outs.
void set_real_timeouts(bool real);

// hid_init fails, as it does on a system without a usable HID subsystem.
void set_init_fails(bool fails);

void plug(bool plugged);
bool plugged();
// The device stays plugged but hid_open fails, as for a hidraw node that belongs to root.
void set_open_refused(bool refused);
void set_product(Product product);
void set_product_id(uint16_t product_id);
void set_product_string(const std::string& text);

// Identity reply (code 8): type code little-endian, firmware high byte, low byte.
void set_device_type(uint16_t type_code);
void set_firmware_number(uint16_t firmware);
// Reply 1 to command 0xF4 with sub-version A and B, or no answer at all.
void set_sub_version(uint8_t a, uint8_t b);
void set_sub_version_silent(bool silent);
// Command 1 is answered by reply 7 (payload 2, 1) first, then by the identity reply.
// A silent device answers neither 1 nor 4.
void set_greeting_silent(bool silent);
// Command 0x57 with 1 starts the text lines, with 0 asks for the next: reply 6 carries
// 0, the length m, 0, then m bytes; m = 0 after the last. 0x66 is acknowledged by reply 7.
void set_text_lines(const std::vector<std::string>& lines);
void set_remote_data_silent(bool silent);

// Status characters for command 2, one per request; the last repeats. Default "1".
void set_status_sequence(const std::string& characters);
void set_status_silent(bool silent);
// A device that never falls silent: every poll with nothing else to say brings the status
// bits (reply 9).
void set_answers_every_poll(bool on);

// Configuration memory, the parameter window 0x200-0x3FF (commands 5 and 6).
uint8_t memory_byte(uint16_t address);
void set_memory_byte(uint16_t address, uint8_t value);
void set_memory(uint16_t address, const std::vector<uint8_t>& bytes);
// Demo: load the window from this file now and save it after every write (empty: no file).
void set_memory_file(const std::string& path);
// Demo: append each received command code (two hex digits and a line end) to this file, so
// an end-to-end test can watch the program from outside (empty: no file).
void set_trace_file(const std::string& path);

// Calibration (command 7): after delay_polls poll reports reply 1 comes and the scale byte
// (0x208) becomes scale_index.
void set_calibration(uint8_t scale_index, int delay_polls);
void set_calibration_silent(bool silent);

// Live values: status bits (command 8 -> reply 9), speed availability and speed
// (command 0x0A -> replies 0x1A and 0x0A).
void set_status_bits(uint8_t bits);
void set_speed(bool available, float km_per_hour);
// Demo: status bits and speed move on their own with time.
void set_live_motion(bool moving);

// Frames the device emits on the next poll before any reply: a log line (reply 0xFF) or an
// error dump (a report of all 0xAA followed by text reports).
void queue_log_line(const std::string& text);
void queue_error_dump(const std::vector<std::string>& lines);
// Any frame text, exactly as given (used for hostile input: lower case, bad checksum, ...).
void queue_raw_reply(const std::string& frame_text);

// Faults.
void fail_writes_after(int good_writes);  // later writes transfer fewer bytes than asked
void clear_write_fault();
enum class ReplyFault { none, lower_case, bad_checksum, wrong_length };
// Applies to the next frame sent only, raw text and log lines included.
void set_next_reply_fault(ReplyFault fault);
// While on, a poll with two replies waiting delivers both in one run of reports.
void set_two_frames_in_one_run(bool on);
// Reply text is cut into reports of at most n characters (1..capacity), so frames split.
void set_chunk_limit(int characters);
// Configuration faults.
void set_config_read_silent(bool silent);    // command 5 gets no reply
void set_config_read_wrong_offset(bool on);  // reply 6 carries another offset
void set_config_read_wrong_count(bool on);   // reply 6 carries another count
void set_readback_differs_at(int index);     // read-back after a write differs at byte index
                                             // (of offset, count, data); -1 for none
void unplug_after_commands(int commands);    // the device disappears mid-operation

// The USB HID bootloader (product "USB Bootloader"). The application's command 0x10 and the
// bootloader's restart make the device leave the bus and come back as the other one, at the
// next hid_open with fast time-outs, 700 ms later with real ones. The restarted application
// reports the firmware number found in the flashed image ("QN718FW" and four digits within
// its first 4 KiB), and comes back only when the valid marker was written.
void set_bootloader_hardware_type(uint32_t type);           // default 6
void set_bootloader_version(uint8_t major, uint8_t minor);  // default 1.2
void set_bootloader_start_address(uint32_t address);        // in every query reply
// From the query-th query on (counted from 1 since the bootloader enumerated), reply byte
// byte_index reads value; query 0 switches this off.
void change_bootloader_query_from(int query, int byte_index, uint8_t value);
// The read_back-th read-back since enumeration (from 1) differs in its last byte; 0: none.
void set_bootloader_readback_differs(int read_back);
// The device leaves the bus right after taking this many more requests, and stays away.
void unplug_bootloader_after_requests(int requests);
// Each bootloader report (either way) takes the next free slot of a grid of this period, as
// on a full-speed interrupt endpoint; 0 (default) costs nothing. The demo uses 1000.
void set_bootloader_report_interval_us(int microseconds);
// How long the erase keeps the bootloader from answering, with real time-outs (default 2500).
void set_bootloader_erase_ms(int milliseconds);
// Requests the bootloader took since the last reset.
int bootloader_requests();
// Program memory as the bootloader holds it (0xFF where never written).
std::vector<uint8_t> bootloader_flash(uint32_t address, size_t count);
// The device is away restarting and has not come back yet.
bool restart_pending();

// Interruption at any hidapi call, for sweeps over every point of an operation. Every hidapi
// function the host calls counts as one call.
int hid_calls();  // since the last reset
enum class CallFault {
    none,
    vanish,         // the device leaves the bus before the call is served, and stays away
    short_write,    // the first write from then on transfers one byte less and reaches nothing
    read_error,     // the first read from then on fails; the device stays
    corrupt_frame,  // the first application frame sent from then on has a bad checksum; the
                    // bootloader's next reply, which has none, differs in its byte 4
    stall,          // the device stops answering, and stays on the bus: writes are taken but
                    // reach nothing, reads bring nothing (one without a time limit waits for
                    // minutes), until the device loses power
};
// The fault becomes due after this many more calls (0: at the very next call).
void arm_call_fault(int calls, CallFault fault);
// True once the armed fault took effect (a short write or read error that found no write or
// read, or a corruption that found no frame, never did).
bool call_fault_struck();
// The device hangs since a stall fault struck (it leaves the state only without power).
bool stalled();
// How long the host's reads waited in vain since the last reset: with fast time-outs they
// return at once, but a device that says nothing keeps a real host waiting each time-out.
int64_t idle_read_ms();
// Power returns to a device that vanished: one that was restarting comes back as what it
// restarted into; a bootloader starts the application when its valid marker is in place or
// the application was never erased, and otherwise waits as the bootloader again.
void replug();

// Runs before every hidapi call the host makes, while set: a test plays the person at the
// bench with it, plugging one device after another as the host gets to them.
void set_call_hook(std::function<void()> hook);

// Observation.
struct ReceivedCommand {
    uint8_t code;
    std::vector<uint8_t> payload;
    std::string frame_text;
    int64_t at_ms;  // monotonic milliseconds when the frame was complete
};
const std::vector<ReceivedCommand>& received_commands();
int count_commands(uint8_t code);
void clear_received();
// Every output report written, report id included, as written.
const std::vector<std::vector<uint8_t>>& written_reports();
int poll_reports();
int open_handles();
// Successful hid_open calls since the last reset.
int open_count();

}  // namespace sim
