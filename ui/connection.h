// The device connection as the window shows it: searching, greeting, identification and the
// connected page. It owns the one link with the device; the window's handlers reach the link
// through it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "device/device_link.h"
#include "device/identification.h"
#include "device/live_status.h"
#include "platform/hid_access.h"

enum class AppState : int32_t {
    searching = 0,
    greeting_with_command1 = 8,
    greeting_with_command4 = 9,
    connected = 16,
};

class Connection {
   public:
    Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    DeviceLink& link() { return link_; }
    AppState state() const { return state_; }
    // Back to searching with the link closed and no page (tests start from here).
    void restart();
    // One step of the state machine. True when identification asks for the next pass to
    // start at once, without the pass's pause.
    bool step();
    // The sub-version as the device last told it; 0, 0 until it has answered once.
    SubVersion sub_version() const { return sub_version_; }
    // The identity of the device last accepted; type 0 before the first.
    const DeviceIdentity& identity() const { return identity_; }
    // Asked, while searching finds nothing, whether a QN718 is plugged in that this user may
    // not open; the platform's look at /sys and /dev unless replaced.
    using AccessCheck = std::function<std::optional<HidAccessProblem>()>;
    void set_access_check(AccessCheck check);

   private:
    void handle_lost_device();
    bool handle_greeting_reply();
    bool accept_identity(const DeviceIdentity& identity);
    void step_state();
    void check_device_access();
    void show_search_status();

    DeviceLink link_;
    AppState state_ = AppState::searching;
    LiveStatus live_status_;
    SubVersion sub_version_;
    DeviceIdentity identity_;
    std::optional<DeviceReply> fresh_;  // what this pass's own poll brought
    bool combo_popped_down_ = false;
    AccessCheck access_check_;
    std::optional<HidAccessProblem> access_problem_;  // as last shown
    int passes_to_access_check_ = 0;
};

// The window's one connection.
Connection& connection();
