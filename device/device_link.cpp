#include "device/device_link.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "device/command_codes.h"
#include "device/frame_codec.h"
#include "platform/sleep.h"

namespace {

constexpr int kOpenDelayMs = 40;
constexpr int kReportTimeoutMs = 25;
constexpr int kErrorDumpTimeoutMs = 50;
constexpr int kUsbicFrameDelayMs = 100;
constexpr char kErrorDumpBanner[] = "\n\n\n!!!ERROR!!!\n";

}  // namespace

DeviceLink::~DeviceLink() {
    close();
}

void DeviceLink::set_transport(std::unique_ptr<LinkTransport> transport) {
    close();
    transport_ = std::move(transport);
}

// The transport's replies, passed on as the local link passes its frames on; a device that
// sends nothing but log lines ends the poll after as many as a wait for silence takes.
// A device log line is the listeners' unless the relay asked for every frame.
bool DeviceLink::passed_on_as_log_line() {
    if (reply_.code() != reply::kLogLine || return_log_lines_)
        return false;
    const char* text = reinterpret_cast<const char*>(reply_.payload());
    report_text(
        std::string_view(text, strnlen(text, static_cast<size_t>(reply_.payload_length()))));
    return true;
}

bool DeviceLink::poll_transport() {
    for (int lines = 0; lines < kMaxPollsUntilSilent; ++lines) {
        if (!is_open())
            return false;
        const TransportPoll got = transport_->next_reply(reply_);
        if (got == TransportPoll::failed)
            fail(transport_->failure().c_str());
        if (got != TransportPoll::reply)
            return false;
        if (passed_on_as_log_line())
            continue;
        return true;
    }
    return false;
}

DeviceLink::Exchange::~Exchange() {
    if (link_)
        link_->set_busy(false);
}

std::optional<DeviceLink::Exchange> DeviceLink::begin_exchange() {
    if (busy_)
        return std::nullopt;
    set_busy(true);
    return Exchange(*this);
}

void DeviceLink::set_busy(bool busy) {
    busy_ = busy;
    if (busy_listener_)
        busy_listener_(busy);
}

void DeviceLink::pause(int milliseconds) const {
    if (pause_)
        pause_(milliseconds);
    else
        sleep_ms(milliseconds);
}

void DeviceLink::report_text(std::string_view text) {
    if (listeners_.on_device_text)
        listeners_.on_device_text(text);
}

// A failed write or read closes the link; the cause goes to the listeners and, once per
// distinct cause, to standard error, so an unplug can be told from a permission problem.
void DeviceLink::fail(const char* what) {
    std::string cause = what;
    if (port_.is_open()) {
        const std::string detail = port_.error_text();
        if (!detail.empty())
            cause += ": " + detail;
    }
    close();
    if (cause != last_failure_)
        std::fprintf(stderr, "QN718 link closed: %s\n", cause.c_str());
    last_failure_ = cause;
    if (listeners_.on_failure)
        listeners_.on_failure(cause);
}

bool DeviceLink::write_report(const uint8_t* report, size_t size) {
    const int written = port_.raw_write(report, size);
    return written >= static_cast<int>(size);
}

void DeviceLink::read_error_dump() {
    report_text(std::string_view(kErrorDumpBanner, sizeof(kErrorDumpBanner) - 1));
    uint8_t report[kLongReportSize];
    while (port_.is_open()) {
        const int got = port_.raw_read(report, report_size_, kErrorDumpTimeoutMs);
        if (got < 0) {
            fail("read failed");
            break;
        }
        if (got == 0)
            break;
        if (report[0] == 0xAA)
            continue;
        const size_t length =
            strnlen(reinterpret_cast<const char*>(report), static_cast<size_t>(got));
        report_text(std::string_view(reinterpret_cast<const char*>(report), length));
    }
}

// Reads input reports until the text of one frame is complete.
DeviceLink::Assembly DeviceLink::assemble_frame_text() {
    uint8_t report[kLongReportSize];
    for (;;) {
        const int got = port_.raw_read(report, report_size_, kReportTimeoutMs);
        if (got < 0) {
            fail("read failed");
            return Assembly::nothing;
        }
        if (got < report_size_)
            return Assembly::nothing;
        if (is_error_dump_report(report, report_size_))
            return Assembly::error_dump;
        const InputChunk chunk = parse_input_report(report, report_size_);
        if (!chunk.has_text)
            continue;
        receive_text_.append(chunk.text);
        if (receive_text_.size() > kMaxReplyText) {
            receive_text_.clear();
            return Assembly::nothing;
        }
        if (!chunk.more)
            return Assembly::frame_complete;
    }
}

void DeviceLink::close() {
    if (transport_) {
        transport_->close();
        kind_ = DeviceKind::none;
        return;
    }
    if (!port_.is_open())
        return;
    take_port().close();
}

HidPort DeviceLink::release_port() {
    HidPort port = take_port();
    port.set_blocking();
    return port;
}

HidPort DeviceLink::take_port() {
    kind_ = DeviceKind::none;
    receive_text_.clear();
    pending_ = false;
    return std::move(port_);
}

OpenResult DeviceLink::open() {
    if (transport_) {
        const OpenResult opened = transport_->open();
        kind_ = transport_->kind();
        return opened;
    }
    pause(kOpenDelayMs);
    HidPort port = HidPort::open(kDeviceVendorId, kLongReportProductId);
    const bool long_reports = port.is_open();
    for (uint16_t product_id : kShortReportProductIds) {
        if (port.is_open())
            break;
        port = HidPort::open(kDeviceVendorId, product_id);
    }
    if (!port.is_open())
        return OpenResult::nothing;

    close();  // never leak an earlier handle
    port_ = std::move(port);
    report_size_ = long_reports ? kLongReportSize : kShortReportSize;

    const std::string product = port_.product();
    if (product == "USB Bootloader") {
        kind_ = DeviceKind::bootloader;
        return OpenResult::bootloader;
    }
    if (product == "USB HID Progr") {
        kind_ = DeviceKind::programmer_link;
        return OpenResult::link;
    }
    if (product == "USBIC") {
        kind_ = DeviceKind::usbic_link;
        return OpenResult::link;
    }
    close();
    return OpenResult::nothing;
}

bool DeviceLink::send_frame(uint8_t code, const uint8_t* payload, int count) {
    if (transport_ && is_open() && count >= 0 && count <= kMaxCommandPayload) {
        if (transport_->send_frame(code, payload, count))
            return true;
        fail(transport_->failure().c_str());
        return false;
    }
    if (!port_.is_open() || count < 0 || count > kMaxCommandPayload)
        return false;
    const std::string text = encode_frame(code, payload, static_cast<size_t>(count));
    for (const auto& report : frame_to_reports(text, report_size_)) {
        if (!write_report(report.data(), report.size())) {
            fail("short write");
            return false;
        }
    }
    // The USBIC link needs time to pass a frame on before it can take the next one.
    if (kind_ == DeviceKind::usbic_link)
        pause(kUsbicFrameDelayMs);
    return true;
}

bool DeviceLink::send_command(uint8_t code, const uint8_t* payload, int count) {
    drain();
    return send_frame(code, payload, count);
}

bool DeviceLink::send_poll() {
    if (!port_.is_open())
        return false;
    const std::vector<uint8_t> report = poll_report(report_size_);
    if (!write_report(report.data(), report.size())) {
        fail("short write");
        return false;
    }
    return true;
}

bool DeviceLink::receive_frame() {
    for (;;) {
        if (!port_.is_open())
            return false;
        if (pending_) {
            pending_ = false;
        } else {
            switch (assemble_frame_text()) {
                case Assembly::nothing:
                    return false;
                case Assembly::error_dump:
                    read_error_dump();
                    return false;
                case Assembly::frame_complete:
                    break;
            }
        }
        if (receive_text_.empty() || receive_text_[0] != '!') {
            receive_text_.clear();
            continue;
        }
        const FrameDecodeResult frame =
            decode_frame(receive_text_, reply_.bytes, sizeof(reply_.bytes));
        if (!frame.good) {
            receive_text_.clear();
            continue;
        }
        reply_.reply_length = frame.length;
        receive_text_.erase(0, frame.consumed);
        pending_ = !receive_text_.empty();
        if (passed_on_as_log_line())
            continue;
        return true;
    }
}

bool DeviceLink::poll() {
    if (transport_)
        return poll_transport();
    if (pending_)
        return receive_frame();
    if (!send_poll())
        return false;
    return receive_frame();
}

bool DeviceLink::await_reply(uint8_t code, int max_polls,
                             const std::function<bool(const DeviceReply&)>& accept) {
    if (max_polls == kUntilSilent) {
        int polls = 0;
        while (poll_until_silent(polls)) {
            if (reply_.code() == code && (!accept || accept(reply_)))
                return true;
        }
        return false;
    }
    for (int polls = 0; polls < max_polls; ++polls) {
        if (!poll()) {
            if (!is_open())
                return false;
            continue;
        }
        if (reply_.code() == code && (!accept || accept(reply_)))
            return true;
    }
    return false;
}

bool DeviceLink::poll_until_silent(int& polls) {
    if (polls == kMaxPollsUntilSilent)
        return false;
    if (polls > 0 && polls % kPollsBetweenServes == 0)
        pause(0);
    ++polls;
    return poll();
}

void DeviceLink::drain() {
    int polls = 0;
    while (poll_until_silent(polls)) {
    }
}

bool DeviceLink::drain_noting(uint8_t code) {
    bool seen = false;
    int polls = 0;
    while (poll_until_silent(polls)) {
        if (reply_.code() == code)
            seen = true;
    }
    return seen;
}
