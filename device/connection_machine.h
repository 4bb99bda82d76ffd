// The device's life cycle on one link: searching, greeting, identification, connected, and
// lost when the link closes. Each step does one bounded piece of it and returns what happened;
// the window and the tool decide what to show, and how long to wait between steps.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/device_link.h"
#include "device/identification.h"
#include "device/live_status.h"

enum class ConnectionState : int32_t {
    searching = 0,
    greeting_with_command1 = 8,
    greeting_with_command4 = 9,
    connected = 16,
};

enum class ConnectionEventKind {
    searching,         // the link is closed: this step looks for a device
    nothing_found,     // no device that the program can use
    device_found,      // a programmer or USBIC link is open (device_kind); the greeting starts
    bootloader_found,  // the USB bootloader is open on the link; the caller decides its fate
    identified,        // the device told its identity and was asked the rest (identification)
    incompatible,      // another device type (identification, sub_version)
    connected,         // the device is accepted (identification)
    live_status,       // the connected device's read-out changed (live)
    lost,              // the link closed while greeting or connected (lost_from)
};

struct ConnectionEvent {
    ConnectionEventKind kind = ConnectionEventKind::searching;
    DeviceKind device_kind = DeviceKind::none;
    Identification identification;
    // Incompatible: the sub-version as the device last answered it on this machine, 0, 0 when
    // it never did (an incompatible device is refused whether it answers or not).
    SubVersion sub_version;
    LiveStatusUpdate live;
    ConnectionState lost_from = ConnectionState::searching;
};

class ConnectionMachine {
   public:
    explicit ConnectionMachine(DeviceLink& link) : link_(link) {}
    ConnectionMachine(const ConnectionMachine&) = delete;
    ConnectionMachine& operator=(const ConnectionMachine&) = delete;

    ConnectionState state() const { return state_; }
    // One step: a search (one open), a greeting pass (one poll and one greeting frame), an
    // identification (bounded by the sub-version and speed-signal queries), or a live-status
    // pass. The hidden switch accepts a device that does not confirm its sub-version.
    std::vector<ConnectionEvent> step(bool hidden_switch);
    // Back to searching; the caller closes the link.
    void restart();
    // Greets from command 1 again after one poll, as just after opening: the tool gives each
    // identification attempt a greeting of its own.
    void restart_greeting();

    // The sub-version as the device last told it; 0, 0 until it has answered once.
    SubVersion sub_version() const { return sub_version_; }
    // The identity of the device last accepted; type 0 before the first.
    const DeviceIdentity& identity() const { return identity_; }

   private:
    void search(std::vector<ConnectionEvent>& events);
    void identify(const DeviceIdentity& identity, bool hidden_switch,
                  std::vector<ConnectionEvent>& events);
    void send_greeting();

    DeviceLink& link_;
    ConnectionState state_ = ConnectionState::searching;
    LiveStatus live_status_;
    SubVersion sub_version_;
    DeviceIdentity identity_;
    // An identification the device did not confirm ends its step before the greeting frame of
    // that pass went out; the next step sends it before any poll, so the device is greeted
    // again right after it was asked.
    bool greeting_owed_ = false;
};

// The incompatible-firmware text: format is the language table's entry, which takes the type
// code, the firmware's two bytes and sub-version A and B.
std::string incompatible_firmware_text(const char* format, const DeviceIdentity& identity,
                                       SubVersion sub_version);
