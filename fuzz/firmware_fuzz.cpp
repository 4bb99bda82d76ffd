// A .bin file comes from anywhere: the check must hold for any bytes and any length, and a
// file given the right tag and check value must pass it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"

namespace {

void require(bool condition) {
    if (!condition)
        __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FirmwareImage image;
    std::string file(reinterpret_cast<const char*>(data), size);
    // Half the inputs are made valid, so the paths past the check are reached too.
    const bool repaired = size > kFirmwareHeaderSize && (data[0] & 1);
    if (repaired) {
        std::memcpy(&file[0], kFirmwareTag.tag, kFirmwareTagSize);
        uint16_t crc = 0;
        const size_t kept = std::min(file.size(), kFirmwareBufferSize);
        for (size_t i = kFirmwareHeaderSize; i < kept; ++i)
            crc = crc16_update(crc, static_cast<uint8_t>(file[i]));
        file[kCheckValueOffset] = static_cast<char>(crc & 0xFF);
        file[kCheckValueOffset + 1] = static_cast<char>(crc >> 8);
    }
    const FirmwareFileCheck loaded = load_firmware_image(image, file);
    require(loaded ==
            check_firmware_file(reinterpret_cast<const uint8_t*>(file.data()), file.size()));
    const size_t kept = std::min(file.size(), kFirmwareBufferSize);
    if (kept < kMinFirmwareFileSize)
        require(loaded == FirmwareFileCheck::too_short);
    else if (repaired)
        require(loaded == FirmwareFileCheck::good);
    require(image.image_length ==
            static_cast<int32_t>(kept > kFirmwareHeaderSize ? kept - kFirmwareHeaderSize : 0));
    // Nothing of an earlier, longer file may survive past this one. One memcmp against zeros
    // keeps the check cheap enough for millions of inputs.
    static const FirmwareImage zeros{};
    require(std::memcmp(image.bytes.data() + kept, zeros.bytes.data(), image.bytes.size() - kept) ==
            0);

    BootloaderReply reply{};
    std::memcpy(reply.data(), data, std::min(size, reply.size()));
    const QueryReply query = decode_query_reply(reply);
    if (query_reply_expected(reply))
        require(query.start_address == kExpectedStartAddress);
    return 0;
}
