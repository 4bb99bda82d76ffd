// The device connection as the window shows it: the connection machine's events as labels,
// the two blocking windows and the connected page. It owns the one link with the device; the
// window's handlers reach the link through it.
#pragma once

#include <functional>
#include <optional>

#include "device/connection_machine.h"
#include "device/device_link.h"
#include "device/identification.h"
#include "platform/hid_access.h"

// The window's name for the connection's state.
using AppState = ConnectionState;

class Connection {
   public:
    Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    DeviceLink& link() { return link_; }
    AppState state() const { return machine_.state(); }
    // Back to searching with the link closed and no page (tests start from here).
    void restart();
    // One step of the connection machine, shown. True after an identification: the next pass
    // starts at once, without the pass's pause.
    bool step();
    // The sub-version as the device last told it; 0, 0 until it has answered once.
    SubVersion sub_version() const { return machine_.sub_version(); }
    // The identity of the device last accepted; type 0 before the first.
    const DeviceIdentity& identity() const { return machine_.identity(); }
    // Asked, while searching finds nothing, whether a QN718 is plugged in that this user may
    // not open; the platform's look at /sys and /dev unless replaced.
    using AccessCheck = std::function<std::optional<HidAccessProblem>()>;
    void set_access_check(AccessCheck check);

   private:
    void show(const ConnectionEvent& event);
    void check_device_access();
    void show_search_status();

    DeviceLink link_;
    ConnectionMachine machine_{link_};
    bool combo_popped_down_ = false;
    AccessCheck access_check_;
    std::optional<HidAccessProblem> access_problem_;  // as last shown
    int passes_to_access_check_ = 0;
};

// The window's one connection.
Connection& connection();
