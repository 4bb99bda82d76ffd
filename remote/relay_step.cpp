// One relay step: the server's command stream carried out on the device link, the raw HID
// device's raw reports, the firmware image and the CAN analyzer's port, and the answers sent
// back.
#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/language.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "platform/serial_port.h"
#include "remote/remote_session.h"

namespace {

constexpr size_t kReceiveSize = 8192;
constexpr size_t kSerialOutputSize = 16384;
constexpr size_t kReplyRecordSize = 262;
constexpr int kReplySendTimeoutMs = 2000;
constexpr int kSerialForwardWaitMs = 1;
constexpr int kStatusReportPauseMs = 100;
// While not connected nothing waits for the server, so the step itself rests: the window
// stays served and the reconnection countdown takes about three seconds, not a busy loop.
constexpr int kIdleStepMs = 10;
// The device reuses two reply codes here: 6 carries a text line, 7 acknowledges server data.
constexpr uint8_t kTextLineReply = reply::kParameters;
constexpr uint8_t kAcknowledgement = reply::kGreeting;
constexpr int kTextLinePolls = 199;
// A device that keeps talking must not keep the relay in one step for ever.
constexpr int kMaxTextLines = 1000;
constexpr int kMaxCollectPolls = 1000;
constexpr int kAckAttempts = 20;
constexpr int kAckPauseMs = 50;
// A raw read waits as long as a bootloader reply may take, never without end.
constexpr int kRawReadTimeoutMs = kBootloaderReplyTimeoutMs;
constexpr size_t kImageArea = kFirmwareBufferSize - kFirmwareHeaderSize;
// An upload is held to the largest image that can be programmed, which the buffer must hold
// with its last block's padding.
static_assert(kValidMarkerAddress - kExpectedStartAddress <= kImageArea);
constexpr int32_t kProgressEvery = 8 * static_cast<int32_t>(kFlashBlockSize);

class RelayRun : public RelayEventSink {
   public:
    RelayRun(RemoteSession& session, DeviceLink& link, FirmwareImage& image, RemoteHost& host)
        : s_(session), link_(link), image_(image), host_(host), generation_(session.generation) {}

    // The connection this step started with is still the session's.
    bool alive() const { return s_.generation == generation_ && s_.socket.is_open(); }

    bool on_relay_event(const RelayEvent& event) override {
        if (!alive())
            return false;
        switch (event.kind) {
            case RelayEvent::Kind::serial_byte:
                if (serial_output_.size() < kSerialOutputSize)
                    serial_output_.push_back(event.byte);
                return true;
            case RelayEvent::Kind::command:
                return command(event);
            case RelayEvent::Kind::block_start:
                return block_start(event.size);
            case RelayEvent::Kind::block_data:
                return block_data(event.data, event.size);
            case RelayEvent::Kind::block_end:
                return block_end();
        }
        return false;
    }

    // The serial data of the chunk goes to the analyzer's port at its end.
    void write_serial_output() {
        if (serial_output_.empty() || s_.analyzer.state() != AnalyzerState::open)
            return;
        const int written =
            s_.analyzer.write(serial_output_.data(), static_cast<int>(serial_output_.size()));
        if (written < 0)
            release();
    }

    void end_session() {
        if (!alive())
            return;
        finish_session(s_, link_, false);
        host_.session_ended();
    }

    // The quiet half of the step: no data from the server.
    void forward_serial_input() {
        if (s_.status_hold > 0)
            --s_.status_hold;
        else
            host_.show_status(lang_text_in(host_.language(), Text::waiting_for_remote_access));
        if (s_.analyzer.state() != AnalyzerState::open)
            return;
        std::vector<uint8_t> data(kReceiveSize);
        const int n = s_.analyzer.read(data.data(), static_cast<int>(data.size()));
        if (n <= 0 || s_.socket.wait_writable(kSerialForwardWaitMs) != SocketWait::ready)
            return;
        send(data.data(), static_cast<size_t>(n));
    }

   private:
    bool send(const uint8_t* data, size_t size) {
        if (!alive())
            return false;
        const size_t sent =
            s_.socket.send_all(reinterpret_cast<const char*>(data), size, kReplySendTimeoutMs);
        if (sent == size)
            return true;
        end_session();
        return false;
    }
    bool send(std::initializer_list<uint8_t> bytes) { return send(bytes.begin(), bytes.size()); }

    // One poll; a reply is kept for the server unless log_only is set and it is no log line.
    bool collect_reply(bool log_only) {
        if (!link_.poll())
            return false;
        const DeviceReply& reply = link_.reply();
        if (!log_only || reply.code() == reply::kLogLine)
            s_.queue.append(reply);
        return true;
    }
    void collect_until_quiet(bool log_only) {
        for (int polls = 0; polls < kMaxCollectPolls && collect_reply(log_only); ++polls) {
        }
    }

    // Tells the server what is attached; the rest of the chunk is dropped whatever happens.
    bool status_report() {
        s_.queue.clear();
        host_.show_status(remote_status_text(s_, link_, host_.language()));
        host_.pause(kStatusReportPauseMs);
        if (!alive())
            return false;
        uint8_t c = '!';
        if (s_.analyzer.state() == AnalyzerState::driver_missing) {
            c = '$';
            s_.analyzer.forget_missing_driver();
        }
        if (s_.analyzer.state() == AnalyzerState::open)
            c = '#';
        if (link_.kind() != DeviceKind::none)
            c = static_cast<uint8_t>('0' + static_cast<int>(link_.kind()));
        send({'@', c});
        return false;
    }

    bool release() {
        s_.analyzer.close();
        link_.close();
        s_.link_released = true;
        return status_report();
    }

    bool open_analyzer() {
        if (s_.analyzer.open() == AnalyzerSearch::driver_missing)
            host_.show_message(analyzer_driver_message(host_.language()));
        return status_report();
    }

    bool open_device() {
        if (link_.kind() != DeviceKind::none || s_.link_released) {
            link_.close();
            s_.analyzer.close();
        }
        link_.open();
        // Opening waits a moment and serves the user meanwhile; a session that ended then must
        // not leave a device open behind it.
        if (!alive()) {
            link_.close();
            return false;
        }
        return status_report();
    }

    bool send_frame(uint8_t code, const uint8_t* data, int count) {
        // The frame encoder takes at most kMaxCommandPayload bytes: a longer frame is refused
        // whole rather than sent cut.
        if (count > kMaxCommandPayload)
            return true;
        link_.send_frame(code, data, count);
        return alive();
    }

    bool fetch_replies() {
        if (link_.kind() != DeviceKind::programmer_link && link_.kind() != DeviceKind::usbic_link)
            return send({'@', '!'});
        collect_until_quiet(false);
        if (!s_.queue.holds_records())
            return send({'@', 'R', 0});
        const std::vector<uint8_t> records = s_.queue.take_records();
        return send(records.data(), records.size());
    }

    bool text_lines() {
        collect_until_quiet(true);
        const uint8_t first = 1;
        link_.send_frame(command::kRemoteTextLine, &first, 1);
        for (int lines = 0; lines < kMaxTextLines && alive(); ++lines) {
            bool found = false;
            for (int polls = 0; polls < kTextLinePolls && !found; ++polls)
                found = collect_reply(true) && link_.reply().code() == kTextLineReply;
            if (!found)
                break;
            const DeviceReply& reply = link_.reply();
            // m bytes from payload byte 3 on, but never past what the frame carried.
            int length = reply.carries(2) ? reply.payload()[1] : 0;
            length = std::min(length, std::max(0, reply.payload_length() - 3));
            if (length == 0)
                break;
            const uint8_t* text = reply.payload() + 3;
            while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n'))
                --length;
            uint8_t record[kReplyRecordSize] = {'@', 'f', static_cast<uint8_t>(length)};
            std::memcpy(record + 3, text, static_cast<size_t>(length));
            if (!send(record, 3 + static_cast<size_t>(length)))
                return false;
            collect_until_quiet(true);
            const uint8_t next = 0;
            link_.send_frame(command::kRemoteTextLine, &next, 1);
        }
        if (!alive())
            return false;
        const uint8_t done[] = {0x01, 0x00};
        for (int i = 0; i < 2; ++i) {
            collect_until_quiet(true);
            link_.send_frame(command::kRemoteSetup, done, 2);
        }
        return send({'@', relay::kTextLinesEnd});
    }

    bool acknowledged(const uint8_t* data, int count) {
        // Data too long for one frame never reaches the device: the server must not take the
        // flag's 0 for an acknowledgement of it.
        if (count > kMaxCommandPayload) {
            s_.ack_timeout_flag = 1;
            return true;
        }
        collect_until_quiet(true);
        bool acknowledged = false;
        if (link_.send_frame(command::kRemoteData, data, count)) {
            // The waits serve the user, who may end the session meanwhile.
            for (int attempt = 0; attempt < kAckAttempts && !acknowledged && alive(); ++attempt) {
                for (int polls = 0; polls < kMaxCollectPolls && link_.poll(); ++polls) {
                    const DeviceReply& reply = link_.reply();
                    if (reply.code() == kAcknowledgement) {
                        acknowledged = true;
                        break;
                    }
                    if (reply.code() == reply::kLogLine)
                        s_.queue.append(reply);
                }
                if (!acknowledged)
                    host_.pause(kAckPauseMs);
            }
        }
        if (!acknowledged)
            s_.ack_timeout_flag = 1;
        return alive();
    }

    bool raw(uint8_t sub, const uint8_t* args) {
        HidPort* port = link_.raw_port();
        switch (sub) {
            case relay::kUploadReset:
                // Zero, as a loaded file leaves it: a shorter upload's last block is padded
                // with zeros, not with what a longer one left behind.
                image_.bytes.fill(0);
                image_.image_length = 0;
                return send({'@', 'E', '0'});
            case relay::kBlockingReads:
                if (port)
                    port->set_blocking();
                return true;
            case relay::kRawWrite: {
                const int r = port && args[0] > 0 ? port->raw_write(args + 1, args[0]) : -1;
                return send({'@', 'E', '3', static_cast<uint8_t>(r & 0xFF)});
            }
            case relay::kRawRead: {
                uint8_t reply[kReplyRecordSize] = {'@', 'E', '4'};
                int r = -1;
                if (port)
                    r = args[0] > 0 ? port->raw_read(reply + 4, args[0], kRawReadTimeoutMs) : 0;
                r = std::min(r, static_cast<int>(args[0]));
                reply[3] = static_cast<uint8_t>(r & 0xFF);
                return send(reply, r >= 0 ? static_cast<size_t>(r) + 4 : 3);
            }
            case relay::kProgram:
                return program(
                    static_cast<uint32_t>(args[0]) | static_cast<uint32_t>(args[1]) << 8 |
                    static_cast<uint32_t>(args[2]) << 16 | static_cast<uint32_t>(args[3]) << 24);
            default:
                return true;
        }
    }

    bool program(uint32_t base) {
        const int32_t length = image_.image_length;
        // The bootloader's own area and the valid marker are never the server's to write: an
        // image that does not fit there ends the session before the first block, as a refused
        // upload does. An empty image writes nothing, wherever it is said to go.
        if (length > 0 && !image_fits(base, length)) {
            end_session();
            return false;
        }
        for (int32_t offset = 0; offset < length; offset += kFlashBlockSize) {
            if (offset % kProgressEvery == 0) {
                const int32_t p = static_cast<int32_t>(int64_t{offset} * 1000 / length);
                if (!send({'@', 'E', '5', static_cast<uint8_t>(p >> 8),
                           static_cast<uint8_t>(p & 0xFF)}))
                    return false;
                host_.process_events();
                if (!alive())
                    return false;
            }
            HidPort* port = link_.raw_port();
            if (!port || !write_flash_block(*port, image_, offset, base)) {
                end_session();
                return false;
            }
        }
        return send({'@', 'E', '5', 0x03, 0xE8});
    }

    bool block_start(size_t size) {
        // An image that could not be programmed even at the application area's start is
        // refused as its blocks come, and the session with it: the server's idea of the image
        // no longer matches the program's.
        if (!image_fits(kExpectedStartAddress, image_.image_length + static_cast<int32_t>(size))) {
            end_session();
            return false;
        }
        s_.upload_sum = 0;
        return true;
    }
    bool block_data(const uint8_t* data, size_t size) {
        std::memcpy(image_.bytes.data() + kFirmwareHeaderSize + image_.image_length, data, size);
        image_.image_length += static_cast<int32_t>(size);
        for (size_t i = 0; i < size; ++i)
            s_.upload_sum += data[i];
        return true;
    }
    bool block_end() {
        const uint32_t sum = s_.upload_sum % 65535;
        return send(
            {'@', 'E', '1', static_cast<uint8_t>(sum >> 8), static_cast<uint8_t>(sum & 0xFF)});
    }

    bool command(const RelayEvent& event) {
        const uint8_t* args = event.data;
        switch (event.command) {
            case relay::kRelease:
                return release();
            case relay::kOpenAnalyzer:
                return open_analyzer();
            case relay::kOpenDevice:
                return open_device();
            case relay::kFrame:
                return send_frame(args[0], args + 2, args[1]);
            case relay::kFrameAfterLog:
                if (args[1] > kMaxCommandPayload)
                    return true;
                collect_until_quiet(true);
                return send_frame(args[0], args + 2, args[1]);
            case relay::kFetchReplies:
                return fetch_replies();
            case relay::kRaw:
                return raw(event.sub, args);
            case relay::kTextLines:
                return text_lines();
            case relay::kAckFlag:
                return send({'@', relay::kAckFlag, s_.ack_timeout_flag});
            case relay::kAcknowledged:
                return acknowledged(args + 1, args[0]);
            default:
                return true;
        }
    }

    RemoteSession& s_;
    DeviceLink& link_;
    FirmwareImage& image_;
    RemoteHost& host_;
    const uint32_t generation_;
    std::vector<uint8_t> serial_output_;
};

void reconnection_step(RemoteSession& s, RemoteHost& host) {
    s.silence_count = 0;
    if (s.reconnect_countdown == kNoReconnect) {
        host.pause(kIdleStepMs);
        return;
    }
    const uint16_t before = s.reconnect_countdown--;
    if (before != 0) {
        host.pause(kIdleStepMs);
        return;
    }
    if (host.reconnect_wanted()) {
        s.reconnect_countdown = 0;
        host.reconnect();
    }
}

}  // namespace

void relay_step(RemoteSession& s, DeviceLink& link, FirmwareImage& image, RemoteHost& host) {
    const auto exchange = link.begin_exchange();
    if (!exchange)
        return;
    if (!s.socket.is_open()) {
        reconnection_step(s, host);
        return;
    }
    RelayRun run(s, link, image, host);
    if (++s.silence_count == 0) {
        run.end_session();
        return;
    }
    const SocketWait wait = s.socket.wait_readable(kRelayWaitMs);
    if (wait == SocketWait::timed_out) {
        run.forward_serial_input();
        return;
    }
    std::vector<uint8_t> buffer(kReceiveSize);
    const long n = wait == SocketWait::ready
                       ? s.socket.receive(reinterpret_cast<char*>(buffer.data()), buffer.size())
                       : -1;
    if (n <= 0) {
        run.end_session();
        return;
    }
    s.silence_count = 0;
    // A lone space keeps the connection alive, also while an "@" waits for its command byte;
    // among a command's arguments or block bytes it is data.
    if (n == 1 && buffer[0] == relay::kKeepAlive &&
        (s.parser.between_commands() || s.parser.escape_pending()))
        return;
    if (s.status_hold == 0)
        host.show_status(remote_status_text(s, link, host.language()));
    s.status_hold = kStatusHoldSteps;
    if (s.parser.feed(buffer.data(), static_cast<size_t>(n), run) && run.alive())
        run.write_serial_output();
}
