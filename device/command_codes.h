// Every command and reply code the program exchanges with the QN718's application firmware.
// The device answers only when polled; it never pushes a frame of its own accord.
#pragma once

#include <cstdint>

namespace command {
constexpr uint8_t kGreeting = 0x01;         // reply 7, then the identity reply 8
constexpr uint8_t kStatus = 0x02;           // reply 1: "2" busy, "0" no CAN speed signal
constexpr uint8_t kIdentify = 0x04;         // reply 8
constexpr uint8_t kReadParameters = 0x05;   // offset, count -> reply 6
constexpr uint8_t kWriteParameters = 0x06;  // offset, count, data; read back with 5
constexpr uint8_t kCalibrate = 0x07;        // reply 1 when the measurement is done
constexpr uint8_t kStatusBits = 0x08;       // reply 9
constexpr uint8_t kStore = 0x09;            // no reply
constexpr uint8_t kSpeed = 0x0A;            // one byte 0 -> replies 0x1A and 0x0A
constexpr uint8_t kEnterBootloader = 0x10;  // no reply; the device restarts
constexpr uint8_t kRemoteSetup = 0x56;      // 0x01, 0x00
constexpr uint8_t kRemoteTextLine = 0x57;   // one byte 0x01 or 0x00 -> reply 6
constexpr uint8_t kRemoteData = 0x66;       // server data -> reply 7
constexpr uint8_t kSubVersion = 0xF4;       // reply 1: sub-version A, B
}  // namespace command

namespace reply {
constexpr uint8_t kDone = 0x01;  // status character, sub-version, calibration done
constexpr uint8_t kParameters = 0x06;
constexpr uint8_t kGreeting = 0x07;
constexpr uint8_t kIdentity = 0x08;
constexpr uint8_t kStatusBits = 0x09;
constexpr uint8_t kSpeed = 0x0A;
constexpr uint8_t kSpeedAvailable = 0x1A;
constexpr uint8_t kLogLine = 0xFF;
}  // namespace reply
