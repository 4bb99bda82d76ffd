// The one HID link with the QN718: opening, command frames out, reply frames in.
// All state is program-wide and touched only from the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>

struct hid_device_;
typedef struct hid_device_ hid_device;

// Which kind of USB device the link holds.
enum DeviceKind : int32_t {
    kDeviceReleasedByRelay = -1,  // a link the remote relay has just let go of
    kDeviceNone = 0,
    kDeviceProgrammerLink = 1,  // "USB HID Progr"
    kDeviceBootloader = 2,      // "USB Bootloader"
    kDeviceUsbicLink = 3,       // "USBIC"
};

constexpr uint16_t kDeviceVendorId = 0x12AA;
constexpr uint16_t kLongReportProductId = 0xF1C9;
constexpr uint16_t kShortReportProductIds[] = {0xF1F7, 0xF1F5, 0xF1F4};

// The last reply frame, decoded: byte 0 the length L, byte 1 the reply code, bytes 2.. the
// payload, then the checksum. Callers may store a code before polling to tell "nothing yet".
struct DeviceReply {
    uint8_t bytes[1024] = {};
    int32_t reply_length = 0;  // decoded bytes, L + 2

    uint8_t code() const { return bytes[1]; }
    void set_code(uint8_t code) { bytes[1] = code; }
    const uint8_t* payload() const { return bytes + 2; }
    uint8_t* payload() { return bytes + 2; }
};
DeviceReply& device_reply();

// 0 nothing usable found, 1 programmer or USBIC link open, 2 bootloader open.
int open_device();
void close_device();
bool device_is_open();
hid_device* device_handle();
int32_t device_kind();
void set_device_kind(int32_t kind);
// Data bytes of one HID report: 64 for long reports, 8 for short ones.
int report_size();

// Sends one frame. A payload over kMaxCommandPayload bytes is refused and nothing is sent.
void send_frame(uint8_t code, const uint8_t* payload = nullptr, int count = 0);
// Drains stale replies, then sends: the way every command goes out.
void send_command(uint8_t code, const uint8_t* payload = nullptr, int count = 0);
// 0 sent (or no link), -1 the write was short and the link is now closed.
int send_poll();
// 1 when a new, valid frame stands in device_reply().
int receive_frame();
bool poll_device();
void drain_replies();

// Every wait for an answer is a bounded count of polls, each at most about 25 ms.
constexpr int kUntilSilent = -1;
// Polls until a reply with this code (and, when accept is given, one it accepts) stands in
// device_reply(); other replies are passed over. max_polls bounds the calls of poll_device,
// each counting whether or not it brought a frame; kUntilSilent instead stops at the first
// poll that brings nothing.
bool await_reply(uint8_t code, int max_polls,
                 const std::function<bool(const DeviceReply&)>& accept = {});
