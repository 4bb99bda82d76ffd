#include "device/connection_machine.h"

#include <cstdio>

#include "device/command_codes.h"

namespace {

ConnectionEvent event_of(ConnectionEventKind kind) {
    ConnectionEvent event;
    event.kind = kind;
    return event;
}

}  // namespace

std::vector<ConnectionEvent> ConnectionMachine::step(bool hidden_switch) {
    std::vector<ConnectionEvent> events;
    if (!link_.is_open()) {
        greeting_owed_ = false;
        if (state_ != ConnectionState::searching) {
            ConnectionEvent lost = event_of(ConnectionEventKind::lost);
            lost.lost_from = state_;
            events.push_back(lost);
            state_ = ConnectionState::searching;
        }
        events.push_back(event_of(ConnectionEventKind::searching));
    }
    if (greeting_owed_) {
        greeting_owed_ = false;
        send_greeting();
        return events;
    }
    std::optional<DeviceReply> fresh;  // what this step's own poll brought
    if (state_ != ConnectionState::searching) {
        if (link_.poll())
            fresh = link_.reply();
        // A reply 8 that comes while connected is not a new device.
        if (fresh && state_ != ConnectionState::connected) {
            if (is_greeting_answer(*fresh)) {
                if (state_ == ConnectionState::greeting_with_command1)
                    state_ = ConnectionState::greeting_with_command4;
            } else if (fresh->code() == reply::kIdentity) {
                if (const auto identity = decode_identity(*fresh)) {
                    identify(*identity, hidden_switch, events);
                    return events;
                }
            }
        }
    }
    switch (state_) {
        case ConnectionState::searching:
            search(events);
            break;
        case ConnectionState::greeting_with_command1:
        case ConnectionState::greeting_with_command4:
            send_greeting();
            break;
        case ConnectionState::connected: {
            ConnectionEvent live = event_of(ConnectionEventKind::live_status);
            live.live = live_status_.step(link_, fresh ? &*fresh : nullptr);
            if (live.live.speed_text || live.live.lit)
                events.push_back(live);
            break;
        }
    }
    return events;
}

void ConnectionMachine::search(std::vector<ConnectionEvent>& events) {
    switch (link_.open()) {
        case OpenResult::nothing:
            events.push_back(event_of(ConnectionEventKind::nothing_found));
            break;
        case OpenResult::link: {
            ConnectionEvent found = event_of(ConnectionEventKind::device_found);
            found.device_kind = link_.kind();
            events.push_back(found);
            restart_greeting();
            break;
        }
        case OpenResult::bootloader:
            events.push_back(event_of(ConnectionEventKind::bootloader_found));
            break;
    }
}

void ConnectionMachine::identify(const DeviceIdentity& identity, bool hidden_switch,
                                 std::vector<ConnectionEvent>& events) {
    ConnectionEvent identified = event_of(ConnectionEventKind::identified);
    identified.identification = identify_device(link_, identity, hidden_switch);
    const Identification& result = identified.identification;
    if (result.sub_version)
        sub_version_ = *result.sub_version;
    events.push_back(identified);
    switch (result.outcome) {
        case IdentifyOutcome::incompatible: {
            ConnectionEvent refused = identified;
            refused.kind = ConnectionEventKind::incompatible;
            refused.sub_version = sub_version_;
            events.push_back(refused);
            break;
        }
        case IdentifyOutcome::unconfirmed:
            identity_ = identity;
            greeting_owed_ = true;
            break;
        case IdentifyOutcome::connected: {
            identity_ = identity;
            live_status_.reset();
            state_ = ConnectionState::connected;
            ConnectionEvent connected = identified;
            connected.kind = ConnectionEventKind::connected;
            events.push_back(connected);
            break;
        }
    }
}

void ConnectionMachine::send_greeting() {
    link_.send_frame(state_ == ConnectionState::greeting_with_command4 ? command::kIdentify
                                                                       : command::kGreeting);
}

void ConnectionMachine::restart() {
    state_ = ConnectionState::searching;
    greeting_owed_ = false;
}

void ConnectionMachine::restart_greeting() {
    greeting_owed_ = false;
    link_.poll();
    state_ = ConnectionState::greeting_with_command1;
}

std::string incompatible_firmware_text(const char* format, const DeviceIdentity& identity,
                                       SubVersion sub_version) {
    char text[400];
    std::snprintf(text, sizeof text, format, identity.type_code, identity.firmware_high,
                  identity.firmware_low, sub_version.a, sub_version.b);
    return text;
}
