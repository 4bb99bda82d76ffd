#include "ui/connection.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/device_access_hint.h"
#include "ui/ui_text.h"
#include "config/vehicle_lookup.h"
#include "console/traffic_log.h"
#include "ui/config_page.h"
#include "ui/console_window.h"
#include "ui/device_windows.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/widget_kit.h"
#include "ui/program_context.h"

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
        [](std::string_view text) {
            program_context().traffic.log(TrafficDirection::received, text);
        },
        [](std::string_view cause) {
            program_context().traffic.log(TrafficDirection::received,
                                          "\nLink closed: " + std::string(cause) + "\n");
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
    if (machine_.state() != AppState::searching)
        destroy_config_page();
    machine_.restart();
}

void Connection::show_search_status() {
    if (access_problem_) {
        const DeviceAccessHint hint =
            device_access_hint(*access_problem_, program_context().language);
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
        const DeviceAccessHint hint =
            device_access_hint(*access_problem_, program_context().language);
        std::fprintf(stderr, "%s\n%s\n", hint.status.c_str(), hint.details.c_str());
    }
    show_search_status();
}

void Connection::show(const ConnectionEvent& event) {
    const Identification& identified = event.identification;
    switch (event.kind) {
        case ConnectionEventKind::lost:
            destroy_config_page();
            break;
        case ConnectionEventKind::searching:
            show_search_status();
            set_version_label("");
            break;
        case ConnectionEventKind::nothing_found:
            check_device_access();
            break;
        case ConnectionEventKind::device_found:
            access_problem_.reset();
            passes_to_access_check_ = 0;
            set_status_label(lang_text(Text::please_wait));
            break;
        case ConnectionEventKind::bootloader_found:
            access_problem_.reset();
            passes_to_access_check_ = 0;
            link_.close();
            show_bootloader_window(link_);
            break;
        case ConnectionEventKind::identified:
            program_context().firmware_number = identified.identity.firmware_number();
            if (identified.sub_version) {
                char label[16];
                std::snprintf(label, sizeof label, "(%d)  ", identified.sub_version->b);
                set_version_label(label);
            }
            if (identified.outcome != IdentifyOutcome::incompatible)
                set_status_label(identified.identity.name().c_str());
            break;
        case ConnectionEventKind::incompatible:
            show_incompatible_window(
                link_, incompatible_firmware_text(lang_text(Text::incompatible_firmware),
                                                  identified.identity, event.sub_version)
                           .c_str());
            break;
        case ConnectionEventKind::connected:
            if (identified.old_firmware_warning)
                show_message(lang_text(Text::firmware_too_old_warning));
            else if (identified.speed_signal == SpeedSignal::no_answer)
                show_message(lang_text(Text::config_load_error));
            else if (identified.speed_signal == SpeedSignal::absent)
                show_message(lang_text(Text::no_can_speed_warning));
            show_config_page(main_box(), link_, identified.identity);
            fit_main_window_to_page();
            break;
        case ConnectionEventKind::live_status:
            paint_live_status(event.live);
            break;
    }
}

bool Connection::step() {
    if (!link_.is_open()) {
        if (!combo_popped_down_) {
            pop_down_open_combo_box();
            combo_popped_down_ = true;
        }
        link_.pause(kNoDevicePauseMs);
    } else {
        combo_popped_down_ = false;
    }
    bool identified = false;
    for (const ConnectionEvent& event : machine_.step(program_context().start.hidden_switch)) {
        show(event);
        identified = identified || event.kind == ConnectionEventKind::identified;
    }
    return identified;
}
