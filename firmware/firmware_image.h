// The firmware file (".bin") and the image buffer the flasher and the remote relay share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// Files are read this far; a longer file is cut here and only the part read is used.
constexpr size_t kFirmwareBufferSize = 525312;  // 0x80400
constexpr size_t kFirmwareHeaderSize = 16;
// A file of fewer bytes cannot hold a real image; it is most likely still being copied.
constexpr size_t kMinFirmwareFileSize = 10000;
constexpr size_t kFirmwareTagSize = 6;
constexpr size_t kCheckValueOffset = 14;

// What a firmware file is made for: the only hardware this program flashes.
struct FirmwareTag {
    const char* tag;           // the first 6 bytes of the file
    uint32_t hardware_type;    // as the bootloader reports it
    const char* display_name;  // shown in the progress window
    uint8_t valid_marker[8];   // written last: the bootloader then starts the application
};
extern const FirmwareTag kFirmwareTag;

// The file as read (header included) and the count of image bytes after the header.
struct FirmwareImage {
    std::array<uint8_t, kFirmwareBufferSize> bytes{};
    int32_t image_length = 0;

    const uint8_t* image() const { return bytes.data() + kFirmwareHeaderSize; }
};

// CRC-16/ARC, one byte at a time (reflected polynomial 0xA001, initial value 0).
uint16_t crc16_update(uint16_t crc, uint8_t byte);

enum class FirmwareFileCheck {
    good,
    too_short,  // 9,999 bytes or less
    wrong_tag,
    wrong_check_value,
};

// Checks file bytes (at most kFirmwareBufferSize of them are looked at).
FirmwareFileCheck check_firmware_file(const uint8_t* data, size_t length);

// Puts file bytes into the image: the buffer is cleared first, so the padding of a last short
// block is always zero, whatever an earlier file left there. Bytes past kFirmwareBufferSize are
// dropped. Returns the check of what was kept.
FirmwareFileCheck load_firmware_image(FirmwareImage& image, const std::string& file_bytes);
