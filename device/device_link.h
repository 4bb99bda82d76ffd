// The HID link with the QN718: opening, command frames out, reply frames in.
// One DeviceLink object owns the handle, the receive state and the last reply; operations
// receive it by reference. Touched only from the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "device/hid_port.h"
#include "device/link_transport.h"

// Which kind of USB device the link holds.
enum class DeviceKind : int32_t {
    none = 0,
    programmer_link = 1,  // "USB HID Progr"
    bootloader = 2,       // "USB Bootloader"
    usbic_link = 3,       // "USBIC"
};

// What open() found.
enum class OpenResult {
    nothing,     // no usable device (none, or a foreign product string)
    link,        // programmer or USBIC link open
    bootloader,  // the USB bootloader open
};

constexpr uint16_t kDeviceVendorId = 0x12AA;
constexpr uint16_t kLongReportProductId = 0xF1C9;
constexpr uint16_t kShortReportProductIds[] = {0xF1F7, 0xF1F5, 0xF1F4};

// The last reply frame, decoded: byte 0 the length L, byte 1 the reply code, bytes 2.. the
// payload, then the checksum.
struct DeviceReply {
    uint8_t bytes[1024] = {};
    int32_t reply_length = 0;  // decoded bytes, L + 2

    uint8_t code() const { return bytes[1]; }
    const uint8_t* payload() const { return bytes + 2; }
    // Payload bytes the frame really carried (its length less code and checksum).
    int payload_length() const { return reply_length >= 3 ? reply_length - 3 : 0; }
    // True when the frame carried at least count payload bytes: a shorter reply must not be
    // read past its end, where bytes of an earlier reply still lie.
    bool carries(int count) const { return payload_length() >= count; }
};

// Where the link hands what it does not return as a reply: device log lines and error dumps
// (received text), and why the link closed on a failed write or read (hidapi's text where it
// has one). The console records both.
struct LinkListeners {
    std::function<void(std::string_view text)> on_device_text;
    std::function<void(std::string_view cause)> on_failure;
};

// How the link waits between steps (the open delay, the USBIC frame pause). The window layer
// installs a pause that serves events meanwhile; the default sleeps.
using PauseFunction = std::function<void(int milliseconds)>;

class DeviceLink {
   public:
    // One exchange at a time: the link's pauses serve the window, so a handler could otherwise
    // start a second exchange inside the wait of the first and take its replies. The exchange
    // lasts as long as this object.
    class Exchange {
       public:
        Exchange(Exchange&& other) noexcept : link_(other.link_) { other.link_ = nullptr; }
        Exchange(const Exchange&) = delete;
        Exchange& operator=(const Exchange&) = delete;
        Exchange& operator=(Exchange&&) = delete;
        ~Exchange();

       private:
        friend class DeviceLink;
        explicit Exchange(DeviceLink& link) : link_(&link) {}
        DeviceLink* link_;
    };

    DeviceLink() = default;
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    void set_listeners(LinkListeners listeners) { listeners_ = std::move(listeners); }
    void set_pause(PauseFunction pause) { pause_ = std::move(pause); }
    void pause(int milliseconds) const;
    // While set, device log lines come back as replies instead of going to the listeners
    // (the remote relay passes every frame to its server).
    void set_return_log_lines(bool on) { return_log_lines_ = on; }
    // From now on the frames go through this transport instead of the local USB device.
    void set_transport(std::unique_ptr<LinkTransport> transport);

    // Empty while another exchange lasts: the caller then sends nothing.
    std::optional<Exchange> begin_exchange();
    bool busy() const { return busy_; }
    // Told true when an exchange begins and false when it ends (the window greys the controls
    // that would start one).
    void set_busy_listener(std::function<void(bool busy)> listener) {
        busy_listener_ = std::move(listener);
    }

    OpenResult open();
    void close();
    // Gives the open device away, its reads set to wait for their report (the flasher owns
    // the bootloader while it programs); the link is then closed without closing the device.
    HidPort release_port();
    // The open device's raw reports, for bootloader transfers on the link's own device (the
    // relay's raw commands) while an exchange lasts; null while the link is closed.
    HidPort* raw_port() { return port_.is_open() ? &port_ : nullptr; }

    bool is_open() const { return transport_ ? kind_ != DeviceKind::none : port_.is_open(); }
    DeviceKind kind() const { return kind_; }
    // Data bytes of one HID report: 64 for long reports, 8 for short ones.
    int report_size() const { return report_size_; }
    // Why the link last closed on a failure ("" when it never did).
    const std::string& last_failure() const { return last_failure_; }

    // Sends one frame. False when nothing or not all of it went out: no link, a payload over
    // kMaxCommandPayload bytes (nothing is sent), or a short write (the link closes).
    bool send_frame(uint8_t code, const uint8_t* payload = nullptr, int count = 0);
    // Drains stale replies, then sends: the way every command goes out.
    bool send_command(uint8_t code, const uint8_t* payload = nullptr, int count = 0);
    // One poll report, then one reply frame if the device has one. True when a new, valid
    // frame stands in reply().
    bool poll();
    // Polls until the device falls silent, at most kMaxPollsUntilSilent times.
    void drain();
    // Drains like drain(); true when a reply with this code passed by meanwhile.
    bool drain_noting(uint8_t code);
    const DeviceReply& reply() const { return reply_; }

    // Every wait for an answer is a bounded count of polls, each at most about 25 ms.
    static constexpr int kUntilSilent = -1;
    // A device that answers every poll never falls silent: a wait for silence gives up after
    // this many polls, and serves the window (a pause of 0 ms) every kPollsBetweenServes.
    static constexpr int kMaxPollsUntilSilent = 64;
    static constexpr int kPollsBetweenServes = 8;
    // Polls until a reply with this code (and, when accept is given, one it accepts) stands in
    // reply(); other replies are passed over. max_polls bounds the polls, each counting
    // whether or not it brought a frame; kUntilSilent instead stops at the first poll that
    // brings nothing, or after kMaxPollsUntilSilent. False when none came (or the link closed).
    bool await_reply(uint8_t code, int max_polls,
                     const std::function<bool(const DeviceReply&)>& accept = {});

   private:
    enum class Assembly { frame_complete, nothing, error_dump };
    bool write_report(const uint8_t* report, size_t size);
    bool send_poll();
    bool poll_until_silent(int& polls);
    bool receive_frame();
    Assembly assemble_frame_text();
    void read_error_dump();
    void fail(const char* what);
    void report_text(std::string_view text);
    void set_busy(bool busy);
    bool poll_transport();
    bool passed_on_as_log_line();
    HidPort take_port();

    HidPort port_;
    DeviceKind kind_ = DeviceKind::none;
    int report_size_ = 8;
    std::string receive_text_;  // reply text assembled from input reports
    bool pending_ = false;      // receive_text_ already holds the start of a further frame
    bool return_log_lines_ = false;
    DeviceReply reply_;
    LinkListeners listeners_;
    PauseFunction pause_;
    std::string last_failure_;
    bool busy_ = false;
    std::function<void(bool busy)> busy_listener_;
    std::unique_ptr<LinkTransport> transport_;
};
