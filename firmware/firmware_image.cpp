#include "firmware/firmware_image.h"

#include <algorithm>
#include <cstring>

const FirmwareTag kFirmwareTag = {
    "QN724 ", 6, "QN724", {0x5A, 0x17, 0xC3, 0xE0, 0x94, 0x4B, 0x2D, 0x68}};

uint16_t crc16_update(uint16_t crc, uint8_t byte) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
        crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001)
                        : static_cast<uint16_t>(crc >> 1);
    return crc;
}

FirmwareFileCheck check_firmware_file(const uint8_t* data, size_t length) {
    length = std::min(length, kFirmwareBufferSize);
    if (length < kMinFirmwareFileSize)
        return FirmwareFileCheck::too_short;
    if (std::memcmp(data, kFirmwareTag.tag, kFirmwareTagSize) != 0)
        return FirmwareFileCheck::wrong_tag;
    // Running the stored check value (low byte first) through the CRC of the image leaves 0.
    uint16_t crc = 0;
    for (size_t i = kFirmwareHeaderSize; i < length; ++i)
        crc = crc16_update(crc, data[i]);
    crc = crc16_update(crc, data[kCheckValueOffset]);
    crc = crc16_update(crc, data[kCheckValueOffset + 1]);
    return crc == 0 ? FirmwareFileCheck::good : FirmwareFileCheck::wrong_check_value;
}

FirmwareFileCheck load_firmware_image(FirmwareImage& image, const std::string& file_bytes) {
    const size_t length = std::min(file_bytes.size(), kFirmwareBufferSize);
    image.bytes.fill(0);
    std::memcpy(image.bytes.data(), file_bytes.data(), length);
    image.image_length =
        length > kFirmwareHeaderSize ? static_cast<int32_t>(length - kFirmwareHeaderSize) : 0;
    return check_firmware_file(image.bytes.data(), length);
}
