// Firmware files for tests: the accepted tag, an image of the given length that names its
// firmware number as the simulator reads it, and a correct check value.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "firmware/firmware_image.h"
#include "platform/files.h"

inline std::string make_firmware_file(size_t image_length, int firmware_number = 23) {
    std::string file = "QN724 ";
    file.append(10, '\0');
    uint32_t noise = 0x12345678u + static_cast<uint32_t>(image_length);
    for (size_t i = 0; i < image_length; ++i) {
        noise = noise * 1103515245u + 12345u;
        file.push_back(static_cast<char>(noise >> 16));
    }
    char name[16];
    std::snprintf(name, sizeof name, "QN718FW%04d", firmware_number);
    if (image_length >= 11)
        file.replace(16, 11, name);
    uint16_t crc = 0;  // the check value itself has a worked example of its own
    for (size_t i = 16; i < file.size(); ++i)
        crc = crc16_update(crc, static_cast<uint8_t>(file[i]));
    file[14] = static_cast<char>(crc & 0xFF);
    file[15] = static_cast<char>(crc >> 8);
    return file;
}

inline std::string write_firmware_file(const std::string& folder, const std::string& name,
                                       const std::string& bytes) {
    const std::string path = folder + "/" + name;
    write_whole_file(path, bytes);
    return path;
}
