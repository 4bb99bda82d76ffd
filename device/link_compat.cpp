#include "device/link_compat.h"

#include "console/traffic_log.h"

namespace {
struct ConsoleObserver : LinkObserver {
    void device_text(std::string_view text) override {
        log_traffic(TrafficDirection::received, text);
    }
    void link_failed(std::string_view cause) override {
        log_traffic(TrafficDirection::received, std::string(cause) + "\n");
    }
};
ConsoleObserver g_observer;
}  // namespace

DeviceLink& program_link() {
    static DeviceLink link;
    static bool wired = (link.set_observer(&g_observer), true);
    (void)wired;
    return link;
}
DeviceReply& device_reply() {
    return const_cast<DeviceReply&>(program_link().reply());
}
int open_device() {
    return static_cast<int>(program_link().open());
}
void close_device() {
    program_link().close();
}
bool device_is_open() {
    return program_link().is_open();
}
hid_device* device_handle() {
    return program_link().handle();
}
int32_t device_kind() {
    return static_cast<int32_t>(program_link().kind());
}
int report_size() {
    return program_link().report_size();
}
void send_frame(uint8_t code, const uint8_t* payload, int count) {
    program_link().send_frame(code, payload, count);
}
void send_command(uint8_t code, const uint8_t* payload, int count) {
    program_link().send_command(code, payload, count);
}
bool poll_device() {
    return program_link().poll();
}
void drain_replies() {
    program_link().drain();
}
bool await_reply(uint8_t code, int max_polls,
                 const std::function<bool(const DeviceReply&)>& accept) {
    return program_link().await_reply(code, max_polls, accept);
}
