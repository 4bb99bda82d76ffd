#include "firmware/bootloader_protocol.h"

#include <algorithm>
#include <cstring>

const uint8_t kExpectedQueryPrefix[13] = {0x02, 0x38, 0x03, 0x01, 0x00, 0x60, 0x00,
                                          0x1D, 0x00, 0xA0, 0x07, 0x00, 0xFE};

namespace {

uint32_t little_endian_at(const BootloaderReply& reply, size_t at) {
    return static_cast<uint32_t>(reply[at]) | static_cast<uint32_t>(reply[at + 1]) << 8 |
           static_cast<uint32_t>(reply[at + 2]) << 16 | static_cast<uint32_t>(reply[at + 3]) << 24;
}

}  // namespace

bool image_fits(uint32_t start_address, int32_t image_length) {
    if (image_length < 0 || start_address < kExpectedStartAddress ||
        start_address > kValidMarkerAddress)
        return false;
    const uint64_t blocks =
        (static_cast<uint64_t>(image_length) + kFlashBlockSize - 1) / kFlashBlockSize;
    return start_address + blocks * kFlashBlockSize <= kValidMarkerAddress;
}

BootloaderReport bootloader_request(uint8_t code) {
    BootloaderReport request{};
    request[1] = code;
    return request;
}

BootloaderReport data_request(uint8_t code, uint32_t address, const uint8_t* data, size_t count) {
    BootloaderReport request = bootloader_request(code);
    count = std::min(count, kBootloaderRequestSize - 7);
    for (int i = 0; i < 4; ++i)
        request[2 + i] = static_cast<uint8_t>(address >> (8 * i));
    request[6] = static_cast<uint8_t>(count);
    std::memcpy(request.data() + kBootloaderRequestSize - count, data, count);
    return request;
}

QueryReply decode_query_reply(const BootloaderReply& reply) {
    QueryReply decoded;
    decoded.start_address = little_endian_at(reply, 4);
    decoded.area_length = little_endian_at(reply, 8);
    decoded.hardware_type = little_endian_at(reply, 13);
    decoded.version = little_endian_at(reply, 17);
    return decoded;
}

bool query_reply_expected(const BootloaderReply& reply) {
    return std::memcmp(reply.data(), kExpectedQueryPrefix, sizeof(kExpectedQueryPrefix)) == 0;
}

bool send_bootloader_request(HidPort& port, const BootloaderReport& request) {
    return port.raw_write(request.data(), request.size()) ==
           static_cast<int>(kBootloaderRequestSize);
}

bool read_bootloader_reply(HidPort& port, BootloaderReply& reply, int timeout_ms) {
    return port.raw_read(reply.data(), reply.size(), timeout_ms) ==
           static_cast<int>(kBootloaderReplySize);
}

bool query_bootloader(HidPort& port, const BootloaderReply& first, int timeout_ms) {
    BootloaderReply reply{};
    return send_bootloader_request(port, bootloader_request(bootloader::kQuery)) &&
           read_bootloader_reply(port, reply, timeout_ms) && query_reply_expected(reply) &&
           std::memcmp(reply.data(), first.data(), sizeof(kExpectedQueryPrefix)) == 0;
}

bool write_flash_block(HidPort& port, const FirmwareImage& image, int32_t offset,
                       uint32_t start_address) {
    if (offset < 0 ||
        kFirmwareHeaderSize + static_cast<size_t>(offset) + kFlashBlockSize > image.bytes.size())
        return false;
    BootloaderReport request =
        data_request(bootloader::kWrite, start_address + static_cast<uint32_t>(offset),
                     image.image() + offset, kFlashBlockSize);
    if (!send_bootloader_request(port, request))
        return false;
    request[1] = bootloader::kReadBack;
    BootloaderReply reply{};
    return send_bootloader_request(port, request) &&
           read_bootloader_reply(port, reply, kBootloaderReplyTimeoutMs) &&
           std::memcmp(reply.data(), request.data() + 1, kBootloaderReplySize) == 0;
}
