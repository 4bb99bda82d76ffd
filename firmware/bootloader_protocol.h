// The USB HID bootloader's binary requests: one 65-byte output report each (report id 0, then
// the command), replies one 64-byte input report without the report id, so reply byte k
// answers request byte k + 1.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "device/hid_port.h"
#include "firmware/firmware_image.h"

constexpr size_t kBootloaderRequestSize = 65;
constexpr size_t kBootloaderReplySize = 64;
using BootloaderReport = std::array<uint8_t, kBootloaderRequestSize>;
using BootloaderReply = std::array<uint8_t, kBootloaderReplySize>;

namespace bootloader {
constexpr uint8_t kQuery = 0x02;
constexpr uint8_t kUnlock = 0x03;
constexpr uint8_t kErase = 0x04;
constexpr uint8_t kWrite = 0x05;
constexpr uint8_t kComplete = 0x06;  // write out what the bootloader still buffers
constexpr uint8_t kReadBack = 0x07;
constexpr uint8_t kRestart = 0x08;
}  // namespace bootloader

constexpr uint32_t kExpectedStartAddress = 0x1D006000;
constexpr uint32_t kExpectedAreaLength = 0x0007A000;
constexpr uint32_t kValidMarkerAddress = 0x1D07FFF8;
constexpr size_t kValidMarkerSize = 8;
constexpr size_t kFlashBlockSize = 56;

// Where an image may go, for every way of programming one: it starts in the application area
// (the bootloader's own code lies below) and its last block, padding included, ends before the
// application-valid marker. 499,688 bytes at most, at the area's start.
bool image_fits(uint32_t start_address, int32_t image_length);

// The first 13 bytes of every query reply after the erase, exactly.
extern const uint8_t kExpectedQueryPrefix[13];

// A request with only the command byte set (query, unlock, erase, complete, restart).
BootloaderReport bootloader_request(uint8_t code);
// Write or read-back: address little-endian in bytes 2-5, count in byte 6, the data in the
// last count bytes; the bytes between stay zero. count is at most 58.
BootloaderReport data_request(uint8_t code, uint32_t address, const uint8_t* data, size_t count);

struct QueryReply {
    uint32_t start_address = 0;
    uint32_t area_length = 0;
    uint32_t hardware_type = 0;
    uint32_t version = 0;  // major in bits 8-15, minor in bits 0-7
};
QueryReply decode_query_reply(const BootloaderReply& reply);
bool query_reply_expected(const BootloaderReply& reply);

// Waits for a reply at most this long. A block's read-back returns in a few milliseconds;
// the query after the erase answers only when the whole application area is erased.
constexpr int kBootloaderReplyTimeoutMs = 3000;
constexpr int kBootloaderEraseTimeoutMs = 20000;

// Exchanges on the bootloader's port; a write that does not take all 65 bytes, a read that does
// not bring 64 in time, or a reply that differs from the expected one gives false.
bool send_bootloader_request(HidPort& port, const BootloaderReport& request);
bool read_bootloader_reply(HidPort& port, BootloaderReply& reply, int timeout_ms);
// Query, one reply, compared with kExpectedQueryPrefix and with the same bytes of the first
// query's reply: a first reply spoiled on its way would otherwise decide where the image goes.
bool query_bootloader(HidPort& port, const BootloaderReply& first,
                      int timeout_ms = kBootloaderReplyTimeoutMs);
// Writes the 56 image bytes from offset on at start_address + offset and reads them back.
bool write_flash_block(HidPort& port, const FirmwareImage& image, int32_t offset,
                       uint32_t start_address);
