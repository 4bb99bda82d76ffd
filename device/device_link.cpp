#include "device/device_link.h"

#include <hidapi.h>

#include <cstring>
#include <string>

#include "console/traffic_log.h"
#include "device/command_codes.h"
#include "device/frame_codec.h"
#include "platform/sleep.h"
#include "remote/remote_access.h"

namespace {

constexpr int kOpenDelayMs = 40;
constexpr int kReportTimeoutMs = 25;
constexpr int kErrorDumpTimeoutMs = 50;
constexpr int kUsbicFrameDelayMs = 100;
constexpr char kErrorDumpBanner[] = "\n\n\n!!!ERROR!!!\n";

struct Link {
    hid_device* handle = nullptr;
    int32_t kind = kDeviceNone;
    bool long_reports = false;
    int report_size = kShortReportSize;
    std::string receive_text;  // reply text assembled from input reports
    bool pending = false;      // receive_text already holds the start of a further frame
};

Link g_link;
DeviceReply g_reply;

bool write_report(const std::vector<uint8_t>& report) {
    const int written = hid_write(g_link.handle, report.data(), report.size());
    return written >= static_cast<int>(report.size());
}

// Puts text in the reply's payload area as one received console line.
void log_received_text(const char* text, size_t length) {
    const size_t room = sizeof(g_reply.bytes) - 3;
    if (length > room)
        length = room;
    std::memcpy(g_reply.payload(), text, length);
    g_reply.payload()[length] = 0;
    g_reply.reply_length = static_cast<int32_t>(length + 3);
    log_traffic(TrafficDirection::received);
}

void read_error_dump() {
    log_received_text(kErrorDumpBanner, sizeof(kErrorDumpBanner) - 1);
    uint8_t report[kLongReportSize];
    while (g_link.handle) {
        const int got =
            hid_read_timeout(g_link.handle, report, g_link.report_size, kErrorDumpTimeoutMs);
        if (got <= 0)
            break;
        if (report[0] == 0xAA)
            continue;
        const size_t length =
            strnlen(reinterpret_cast<const char*>(report), static_cast<size_t>(got));
        log_received_text(reinterpret_cast<const char*>(report), length);
    }
}

enum class Assembly { frame_complete, nothing, error_dump };

// Reads input reports until the text of one frame is complete.
Assembly assemble_frame_text() {
    uint8_t report[kLongReportSize];
    for (;;) {
        const int got =
            hid_read_timeout(g_link.handle, report, g_link.report_size, kReportTimeoutMs);
        if (got < g_link.report_size)
            return Assembly::nothing;
        if (is_error_dump_report(report, g_link.report_size))
            return Assembly::error_dump;
        const InputChunk chunk = parse_input_report(report, g_link.report_size);
        if (!chunk.has_text)
            continue;
        g_link.receive_text.append(chunk.text);
        if (g_link.receive_text.size() > kMaxReplyText) {
            g_link.receive_text.clear();
            return Assembly::nothing;
        }
        if (!chunk.more)
            return Assembly::frame_complete;
    }
}

}  // namespace

DeviceReply& device_reply() {
    return g_reply;
}
bool device_is_open() {
    return g_link.handle != nullptr;
}
hid_device* device_handle() {
    return g_link.handle;
}
int32_t device_kind() {
    return g_link.kind;
}
void set_device_kind(int32_t kind) {
    g_link.kind = kind;
}
int report_size() {
    return g_link.report_size;
}

void close_device() {
    if (!g_link.handle)
        return;
    hid_close(g_link.handle);
    g_link.handle = nullptr;
    g_link.kind = kDeviceNone;
    g_link.receive_text.clear();
    g_link.pending = false;
}

int open_device() {
    sleep_ms(kOpenDelayMs);
    hid_device* handle = hid_open(kDeviceVendorId, kLongReportProductId, nullptr);
    bool long_reports = handle != nullptr;
    for (uint16_t product_id : kShortReportProductIds) {
        if (handle)
            break;
        handle = hid_open(kDeviceVendorId, product_id, nullptr);
    }
    if (!handle)
        return 0;

    close_device();  // never leak an earlier handle
    g_link.handle = handle;
    g_link.long_reports = long_reports;
    g_link.report_size = long_reports ? kLongReportSize : kShortReportSize;
    g_link.receive_text.clear();
    g_link.pending = false;

    wchar_t wide[128] = {};
    std::string product;
    if (hid_get_product_string(handle, wide, 128) == 0) {
        for (size_t i = 0; i < 128 && wide[i] != 0; ++i) {
            product.push_back(static_cast<char>(wide[i] & 0xFF));
        }
    }
    if (product == "USB Bootloader") {
        g_link.kind = kDeviceBootloader;
        return 2;
    }
    if (product == "USB HID Progr") {
        g_link.kind = kDeviceProgrammerLink;
        return 1;
    }
    if (product == "USBIC") {
        g_link.kind = kDeviceUsbicLink;
        return 1;
    }
    close_device();
    return 0;
}

void send_frame(uint8_t code, const uint8_t* payload, int count) {
    if (!g_link.handle || count < 0 || count > kMaxCommandPayload)
        return;
    const std::string text = encode_frame(code, payload, static_cast<size_t>(count));
    for (const auto& report : frame_to_reports(text, g_link.report_size)) {
        if (!write_report(report)) {
            close_device();
            return;
        }
    }
    // The USBIC link needs time to pass a frame on before it can take the next one.
    if (g_link.kind == kDeviceUsbicLink)
        sleep_ms(kUsbicFrameDelayMs);
}

void send_command(uint8_t code, const uint8_t* payload, int count) {
    drain_replies();
    send_frame(code, payload, count);
}

int send_poll() {
    if (!g_link.handle)
        return 0;
    if (!write_report(poll_report(g_link.report_size))) {
        close_device();
        return -1;
    }
    return 0;
}

int receive_frame() {
    for (;;) {
        if (!g_link.handle)
            return 0;
        if (g_link.pending) {
            g_link.pending = false;
        } else {
            switch (assemble_frame_text()) {
                case Assembly::nothing:
                    return 0;
                case Assembly::error_dump:
                    read_error_dump();
                    return 0;
                case Assembly::frame_complete:
                    break;
            }
        }
        std::string& text = g_link.receive_text;
        if (text.empty() || text[0] != '!') {
            text.clear();
            continue;
        }
        const FrameDecodeResult frame = decode_frame(text, g_reply.bytes, sizeof(g_reply.bytes));
        if (!frame.good) {
            text.clear();
            continue;
        }
        g_reply.reply_length = frame.length;
        text.erase(0, frame.consumed);
        g_link.pending = !text.empty();
        // Log lines go to the console unless the relay wants every frame for the server.
        if (g_reply.code() == reply::kLogLine && !remote_access_active()) {
            log_traffic(TrafficDirection::received);
            continue;
        }
        return 1;
    }
}

bool poll_device() {
    if (g_link.pending)
        return receive_frame() == 1;
    if (send_poll() != 0)
        return false;
    return receive_frame() == 1;
}

bool await_reply(uint8_t code, int max_polls,
                 const std::function<bool(const DeviceReply&)>& accept) {
    for (int poll = 0; max_polls == kUntilSilent || poll < max_polls; ++poll) {
        if (!poll_device()) {
            if (max_polls == kUntilSilent)
                return false;
            continue;
        }
        if (g_reply.code() == code && (!accept || accept(g_reply)))
            return true;
    }
    return false;
}

void drain_replies() {
    while (poll_device()) {
    }
}
