#include "device/identification.h"

#include <cstdio>

#include "app/hidden_switch.h"
#include "app/language.h"
#include "app/main_loop.h"
#include "app/status_labels.h"
#include "app/widget_kit.h"
#include "config/config_page.h"
#include "config/vehicle_lookup.h"
#include "device/command_codes.h"
#include "device/link_compat.h"
#include "device/device_windows.h"
#include "device/speed_signal.h"
#include "platform/sleep.h"

namespace {

constexpr int kSubVersionPolls = 99;
constexpr int kBusyRetryMs = 500;

SubVersion g_sub_version;

// Asks whether the device sees a speed signal on the CAN bus; "2" means it is still looking.
void check_speed_signal() {
    for (;;) {
        const int status = query_speed_signal_status();
        if (status < 0) {
            show_message(lang_text(12));
            return;
        }
        if (status == kSpeedSignalSearching) {
            sleep_ms(kBusyRetryMs);
            continue;
        }
        if (status == kNoCanSpeedSignal)
            show_message(lang_text(105));
        return;
    }
}

}  // namespace

SubVersion sub_version() {
    return g_sub_version;
}

int query_sub_version() {
    send_command(command::kSubVersion);
    if (!await_reply(reply::kDone, kSubVersionPolls))
        return 1;
    const uint8_t* answer = device_reply().payload();
    g_sub_version = {answer[0], answer[1]};
    char label[16];
    std::snprintf(label, sizeof label, "(%d)  ", g_sub_version.b);
    set_version_label(label);
    return 0;
}

int identify_device(GtkWidget* box) {
    const uint8_t* identity = device_reply().payload();
    const uint16_t type_code = static_cast<uint16_t>(identity[0] | identity[1] << 8);
    const uint8_t firmware_high = identity[2];
    const uint8_t firmware_low = identity[3];
    set_firmware_number(static_cast<uint32_t>(firmware_high << 8 | firmware_low));
    const bool compatible = type_code == kQn718TypeCode;

    const bool answered = query_sub_version() == 0 || hidden_switch();

    if (!compatible) {
        char text[400];
        std::snprintf(text, sizeof text, lang_text(13), type_code, firmware_high, firmware_low,
                      g_sub_version.a, g_sub_version.b);
        show_incompatible_window(text);
        return 2;
    }
    char name[32];
    std::snprintf(name, sizeof name, "QN%d-%02d%02d", type_code, firmware_high, firmware_low);
    set_status_label(name);
    if (!answered)
        return 0;

    const uint32_t firmware = firmware_number();
    if (firmware == 20 || firmware == 21) {
        show_message(lang_text(108));
    } else {
        check_speed_signal();
    }
    show_config_page(box);
    set_app_state(kConnected);
    return 1;
}
