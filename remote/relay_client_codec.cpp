#include "remote/relay_client_codec.h"

#include <cstring>

#include "device/device_link.h"
#include "device/frame_codec.h"
#include "remote/relay_stream.h"

namespace relay_client {

namespace {

std::string command(std::initializer_list<uint8_t> head) {
    return std::string(head.begin(), head.end());
}

std::string counted(std::initializer_list<uint8_t> head, const uint8_t* data, size_t count) {
    if (count > kMaxCountedBytes)
        return "";
    std::string bytes = command(head);
    bytes.push_back(static_cast<char>(count));
    bytes.append(reinterpret_cast<const char*>(data), count);
    return bytes;
}

uint8_t at(std::string_view bytes, size_t i) {
    return static_cast<uint8_t>(bytes[i]);
}

bool starts(std::string_view bytes, std::string_view head) {
    return bytes.substr(0, head.size()) == head.substr(0, bytes.size());
}

Decoded incomplete() {
    return {};
}
Decoded garbage() {
    Decoded d;
    d.state = Decoded::State::garbage;
    return d;
}
Decoded complete(size_t consumed, Answer answer) {
    Decoded d;
    d.state = Decoded::State::complete;
    d.consumed = consumed;
    d.answer = std::move(answer);
    return d;
}

// A fixed head, then `extra` bytes; "@!" in its place means the program let the device go.
Decoded fixed(std::string_view bytes, std::string_view head, size_t extra, Answer::Kind kind) {
    if (starts(bytes, "@!")) {
        if (bytes.size() < 2)
            return incomplete();
        Answer released;
        released.kind = Answer::Kind::released;
        return complete(2, released);
    }
    if (!starts(bytes, head))
        return garbage();
    if (bytes.size() < head.size() + extra)
        return incomplete();
    Answer answer;
    answer.kind = kind;
    if (extra == 2)
        answer.value =
            static_cast<uint16_t>(at(bytes, head.size()) << 8 | at(bytes, head.size() + 1));
    if (extra == 1)
        answer.result = at(bytes, head.size());
    return complete(head.size() + extra, answer);
}

Decoded replies(std::string_view bytes) {
    Answer answer;
    answer.kind = Answer::Kind::replies;
    size_t i = 0;
    for (;;) {
        if (bytes.size() < i + 2)
            return starts(bytes.substr(i), "@") ? incomplete() : garbage();
        const std::string_view head = bytes.substr(i, 2);
        if (head == "@!") {
            answer.no_link = true;
            i += 2;
        } else if (head == "@R") {
            if (bytes.size() < i + 3)
                return incomplete();
            const size_t n = at(bytes, i + 2);
            if (bytes.size() < i + 3 + n)
                return incomplete();
            if (n > 0)
                answer.records.emplace_back(bytes.substr(i + 3, n));
            i += 3 + n;
        } else if (head == "@G") {
            if (bytes.size() < i + 3)
                return incomplete();
            if (at(bytes, i + 2) > 1)
                return garbage();
            return complete(i + 3, answer);
        } else {
            return garbage();
        }
    }
}

Decoded raw_read_answer(std::string_view bytes, bool quiet) {
    if (bytes.substr(0, 2) == "@!")
        return fixed(bytes, "@E4", 0, Answer::Kind::raw_read);
    if (!starts(bytes, "@E4"))
        return garbage();
    if (bytes.size() < 3)
        return incomplete();
    Answer answer;
    answer.kind = Answer::Kind::raw_read;
    if (bytes.size() == 3) {
        // A failed read answers the three bytes alone.
        if (!quiet)
            return incomplete();
        answer.result = -1;
        return complete(3, answer);
    }
    const size_t r = at(bytes, 3);
    if (bytes.size() < 4 + r)
        return incomplete();
    answer.result = static_cast<int>(r);
    answer.data = std::string(bytes.substr(4, r));
    return complete(4 + r, answer);
}

}  // namespace

std::string open_device() {
    return command({relay::kEscape, relay::kOpenDevice});
}

std::string frame(uint8_t code, const uint8_t* data, size_t count, bool after_log) {
    return counted({relay::kEscape, after_log ? relay::kFrameAfterLog : relay::kFrame, code}, data,
                   count);
}

std::string fetch_replies() {
    return command({relay::kEscape, relay::kFetchReplies, relay::kEscape, relay::kAckFlag});
}

std::string upload_reset() {
    return command({relay::kEscape, relay::kRaw, relay::kUploadReset});
}

std::string upload_block(const uint8_t* data, size_t size) {
    if (size > kMaxUploadBlock)
        return "";
    std::string bytes = command({relay::kEscape, relay::kRaw, relay::kUploadBlock,
                                 static_cast<uint8_t>(size >> 8), static_cast<uint8_t>(size)});
    bytes.append(reinterpret_cast<const char*>(data), size);
    return bytes;
}

std::string blocking_reads() {
    return command({relay::kEscape, relay::kRaw, relay::kBlockingReads});
}

std::string raw_write(const uint8_t* report, size_t size) {
    if (size == 0)
        return "";
    return counted({relay::kEscape, relay::kRaw, relay::kRawWrite}, report, size);
}

std::string raw_read(uint8_t count) {
    return command({relay::kEscape, relay::kRaw, relay::kRawRead, count});
}

std::string program(uint32_t start_address) {
    return command({relay::kEscape, relay::kRaw, relay::kProgram,
                    static_cast<uint8_t>(start_address), static_cast<uint8_t>(start_address >> 8),
                    static_cast<uint8_t>(start_address >> 16),
                    static_cast<uint8_t>(start_address >> 24)});
}

std::string release() {
    return command({relay::kEscape, relay::kRelease});
}

std::string technician_record(std::string_view commands) {
    if (commands.empty() || commands.size() > kMaxTechnicianRecord)
        return "";
    std::string record = command(
        {static_cast<uint8_t>(commands.size() >> 8), static_cast<uint8_t>(commands.size())});
    record.append(commands);
    return record;
}

uint16_t block_sum(const uint8_t* data, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum += data[i];
    return static_cast<uint16_t>(sum % 65535);
}

Decoded decode(Expect expect, std::string_view bytes, bool quiet) {
    switch (expect) {
        case Expect::status: {
            if (!starts(bytes, "@"))
                return garbage();
            if (bytes.size() < 2)
                return incomplete();
            Answer answer;
            answer.status = at(bytes, 1);
            if (std::strchr("123#$!", answer.status) == nullptr || answer.status == 0)
                return garbage();
            return complete(2, answer);
        }
        case Expect::replies:
            return replies(bytes);
        case Expect::upload_reset:
            return fixed(bytes, "@E0", 0, Answer::Kind::upload_reset);
        case Expect::block_sum:
            return fixed(bytes, "@E1", 2, Answer::Kind::block_sum);
        case Expect::raw_write:
            return fixed(bytes, "@E3", 1, Answer::Kind::raw_written);
        case Expect::raw_read:
            return raw_read_answer(bytes, quiet);
        case Expect::progress:
            return fixed(bytes, "@E5", 2, Answer::Kind::progress);
    }
    return garbage();
}

bool record_to_reply(std::string_view record, DeviceReply& reply) {
    // Code and checksum at least; the frame's length byte is the count less one.
    const size_t n = record.size();
    if (n < 2 || n + 1 > sizeof(reply.bytes))
        return false;
    reply.bytes[0] = static_cast<uint8_t>(n - 1);
    std::memcpy(reply.bytes + 1, record.data(), n);
    if (frame_checksum(reply.bytes, n) != reply.bytes[n])
        return false;
    reply.reply_length = static_cast<int32_t>(n + 1);
    return true;
}

}  // namespace relay_client
