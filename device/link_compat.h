// Transitional free functions over the one program link while callers move to DeviceLink&.
#pragma once

#include "device/device_link.h"

DeviceLink& program_link();
DeviceReply& device_reply();
int open_device();
void close_device();
bool device_is_open();
hid_device* device_handle();
int32_t device_kind();
int report_size();
void send_frame(uint8_t code, const uint8_t* payload = nullptr, int count = 0);
void send_command(uint8_t code, const uint8_t* payload = nullptr, int count = 0);
bool poll_device();
void drain_replies();
constexpr int kUntilSilent = DeviceLink::kUntilSilent;
constexpr int32_t kDeviceNone = 0;
constexpr int32_t kDeviceProgrammerLink = 1;
constexpr int32_t kDeviceBootloader = 2;
constexpr int32_t kDeviceUsbicLink = 3;
bool await_reply(uint8_t code, int max_polls,
                 const std::function<bool(const DeviceReply&)>& accept = {});
