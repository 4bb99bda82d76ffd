#include "ui/connection.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/device_access_hint.h"
#include "app/hidden_switch.h"
#include "app/language.h"
#include "config/vehicle_lookup.h"
#include "console/traffic_log.h"
#include "device/command_codes.h"
#include "ui/config_page.h"
#include "ui/console_window.h"
#include "ui/device_windows.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/widget_kit.h"

namespace {

constexpr int kNoDevicePauseMs = 100;
// About once a second: the look at the device nodes costs more than hidapi's search, and
// someone who plugs the device in needs the answer soon, not at once.
constexpr int kPassesPerAccessCheck = 10;

// A drop-down list left open over a page that is about to go would hold a grab on a
// destroyed widget, so it is closed first.
void pop_down_open_combo_box() {
    GtkWidget* window = main_window();
    if (!window)
        return;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window));
    if (!focus)
        return;
    GtkWidget* parent = gtk_widget_get_parent(focus);
    if (!parent)
        return;
    if (std::strncmp(G_OBJECT_TYPE_NAME(parent), "GtkComboBox", 11) == 0) {
        gtk_combo_box_popdown(GTK_COMBO_BOX(parent));
    }
}

void paint_live_status(const LiveStatusUpdate& update) {
    if (update.speed_text)
        set_speed_label(update.speed_text->c_str());
    if (update.lit) {
        for (int i = 0; i < kStatusIndicatorCount; ++i) {
            if (StatusIndicatorTable[i].byte_index != kNoStatusBit)
                paint_status_indicator(i, (*update.lit)[i]);
        }
    }
}

}  // namespace

Connection::Connection() {
    link_.set_listeners({
        [](std::string_view text) { log_traffic(TrafficDirection::received, text); },
        [](std::string_view cause) {
            log_traffic(TrafficDirection::received, "\nLink closed: " + std::string(cause) + "\n");
        },
    });
    link_.set_pause(serve_events_for);
    link_.set_busy_listener([](bool busy) {
        set_config_buttons_sensitive(!busy);
        set_console_send_sensitive(!busy);
        set_device_menu_items_sensitive(!busy);
    });
    access_check_ = [] { return find_hid_access_problem(kDeviceVendorId); };
}

void Connection::set_access_check(AccessCheck check) {
    access_check_ = std::move(check);
    access_problem_.reset();
    passes_to_access_check_ = 0;
}

Connection& connection() {
    static Connection the_connection;
    return the_connection;
}

void Connection::restart() {
    link_.close();
    if (state_ != AppState::searching)
        destroy_config_page();
    state_ = AppState::searching;
}

void Connection::handle_lost_device() {
    if (!combo_popped_down_) {
        pop_down_open_combo_box();
        combo_popped_down_ = true;
    }
    link_.pause(kNoDevicePauseMs);
    if (state_ != AppState::searching) {
        state_ = AppState::searching;
        destroy_config_page();
    }
    show_search_status();
    set_version_label("");
}

void Connection::show_search_status() {
    if (access_problem_) {
        const DeviceAccessHint hint = device_access_hint(*access_problem_);
        set_status_label(hint.status.c_str());
        set_info_label(hint.details.c_str());
    } else {
        set_status_label(lang_text(Text::searching));
        set_info_label("");
    }
}

// Without a udev rule hidapi sees no device at all, and the search would go on silently for
// ever; the hint says so once, and again only when the situation changes.
void Connection::check_device_access() {
    if (passes_to_access_check_ > 0) {
        --passes_to_access_check_;
        return;
    }
    passes_to_access_check_ = kPassesPerAccessCheck - 1;
    std::optional<HidAccessProblem> problem = access_check_ ? access_check_() : std::nullopt;
    if (problem == access_problem_)
        return;
    access_problem_ = std::move(problem);
    if (access_problem_) {
        const DeviceAccessHint hint = device_access_hint(*access_problem_);
        std::fprintf(stderr, "%s\n%s\n", hint.status.c_str(), hint.details.c_str());
    }
    show_search_status();
}

// Returns true when the device was accepted or refused for good this time, so the next pass
// starts at once.
bool Connection::accept_identity(const DeviceIdentity& identity) {
    set_firmware_number(identity.firmware_number());
    const Identification result = identify_device(link_, identity, hidden_switch());
    if (result.sub_version) {
        sub_version_ = *result.sub_version;
        char label[16];
        std::snprintf(label, sizeof label, "(%d)  ", sub_version_.b);
        set_version_label(label);
    }
    if (result.outcome == IdentifyOutcome::incompatible) {
        char text[400];
        std::snprintf(text, sizeof text, lang_text(Text::incompatible_firmware), identity.type_code,
                      identity.firmware_high, identity.firmware_low, sub_version_.a,
                      sub_version_.b);
        show_incompatible_window(link_, text);
        return true;
    }
    set_status_label(identity.name().c_str());
    identity_ = identity;
    if (result.outcome == IdentifyOutcome::unconfirmed)
        return false;
    if (result.old_firmware_warning)
        show_message(lang_text(Text::firmware_too_old_warning));
    else if (result.speed_signal == SpeedSignal::no_answer)
        show_message(lang_text(Text::config_load_error));
    else if (result.speed_signal == SpeedSignal::absent)
        show_message(lang_text(Text::no_can_speed_warning));
    live_status_.reset();
    show_config_page(main_box(), link_, identity);
    fit_main_window_to_page();
    state_ = AppState::connected;
    return true;
}

bool Connection::handle_greeting_reply() {
    fresh_.reset();
    if (link_.poll())
        fresh_ = link_.reply();
    if (!fresh_ || state_ == AppState::connected)
        return false;
    if (is_greeting_answer(*fresh_)) {
        if (state_ == AppState::greeting_with_command1)
            state_ = AppState::greeting_with_command4;
    } else if (fresh_->code() == reply::kIdentity) {
        if (const auto identity = decode_identity(*fresh_))
            return accept_identity(*identity);
    }
    return false;
}

void Connection::step_state() {
    switch (state_) {
        case AppState::searching: {
            const OpenResult opened = link_.open();
            if (opened == OpenResult::nothing) {
                check_device_access();
                break;
            }
            access_problem_.reset();
            passes_to_access_check_ = 0;
            if (opened == OpenResult::link) {
                set_status_label(lang_text(Text::please_wait));
                link_.poll();
                state_ = AppState::greeting_with_command1;
            } else if (opened == OpenResult::bootloader) {
                link_.close();
                show_bootloader_window(link_);
            }
            break;
        }
        case AppState::greeting_with_command1:
            link_.send_frame(command::kGreeting);
            break;
        case AppState::greeting_with_command4:
            link_.send_frame(command::kIdentify);
            break;
        case AppState::connected:
            paint_live_status(live_status_.step(link_, fresh_ ? &*fresh_ : nullptr));
            break;
    }
}

bool Connection::step() {
    if (!link_.is_open())
        handle_lost_device();
    else
        combo_popped_down_ = false;
    if (state_ != AppState::searching && handle_greeting_reply())
        return true;
    step_state();
    return false;
}
