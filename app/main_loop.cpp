#include "app/main_loop.h"

#include <gtk/gtk.h>

#include <cstring>

#include "app/language.h"
#include "app/main_window.h"
#include "app/widget_kit.h"
#include "config/config_page.h"
#include "device/device_windows.h"
#include "device/command_codes.h"
#include "device/link_compat.h"
#include "device/identification.h"
#include "device/live_status.h"
#include "platform/sleep.h"
#include "remote/remote_access.h"
#include "ui/autoflash_window.h"

namespace {

constexpr int kNoDevicePauseMs = 100;
constexpr int kPassPauseMs = 10;

int32_t g_app_state = kSearching;
bool g_combo_popped_down = false;

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

void handle_lost_device() {
    if (!g_combo_popped_down) {
        pop_down_open_combo_box();
        g_combo_popped_down = true;
    }
    sleep_ms(kNoDevicePauseMs);
    if (g_app_state != kSearching) {
        g_app_state = kSearching;
        destroy_config_page();  // forgets the "Save" button with it
    }
    set_status_label(lang_text(3));
    set_info_label("");
    set_version_label("");
}

// Returns true when identification asks for the next pass to start at once.
bool handle_greeting_reply() {
    DeviceReply& reply = device_reply();
    if (!poll_device())
        reply.set_code(0);
    if (reply.code() == reply::kGreeting) {
        if (g_app_state == kGreetingWithCommand1 && reply.reply_length > 4 &&
            reply.payload()[0] == 2 && reply.payload()[1] == 1) {
            g_app_state = kGreetingWithCommand4;
        }
    } else if (reply.code() == reply::kIdentity) {
        if (g_app_state == kGreetingWithCommand1 || g_app_state == kGreetingWithCommand4) {
            if (identify_device(main_box()) != 0)
                return true;
        }
    }
    return false;
}

void step_connection_state() {
    switch (g_app_state) {
        case kSearching: {
            const int opened = open_device();
            if (opened == 1) {
                set_status_label(lang_text(4));
                poll_device();
                g_app_state = kGreetingWithCommand1;
            } else if (opened == 2) {
                show_bootloader_window();
                close_device();
            }
            break;
        }
        case kGreetingWithCommand1:
            send_frame(command::kGreeting);
            break;
        case kGreetingWithCommand4:
            send_frame(command::kIdentify);
            break;
        case kConnected:
            live_status_step();
            break;
        default:
            break;
    }
}

}  // namespace

int32_t app_state() {
    return g_app_state;
}
void set_app_state(int32_t state) {
    g_app_state = state;
}

void main_loop_pass() {
    process_pending_events();
    if (remote_access_active()) {
        return;  // the relay step runs here once remote access exists
    }
    if (!device_is_open()) {
        handle_lost_device();
    } else {
        g_combo_popped_down = false;
    }
    if (g_app_state > 7 && handle_greeting_reply())
        return;
    step_connection_state();
    run_autoflash_step();
    sleep_ms(kPassPauseMs);
}

void run_main_loop() {
    for (;;)
        main_loop_pass();
}
