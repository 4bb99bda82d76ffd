#include "gui/connection_fixture.h"

#include <hidapi.h>

#include "app/hidden_switch.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "device/device_link.h"
#include "sim/sim_control.h"

void ConnectionTest::SetUp() {
    GuiTest::SetUp();
    if (IsSkipped())
        return;
    hid_init();
    if (!main_window()) {
        create_main_window();
        build_status_rows();
        gtk_widget_show(main_window());
    }
    close_device();
    set_hidden_switch(false);
    set_app_state(kSearching);
}

void ConnectionTest::TearDown() {
    if (gui_available()) {
        sim::plug(false);  // nothing to find, nothing to block on
        close_device();
        main_loop_pass();  // back to searching: the page goes
    }
    GuiTest::TearDown();
}

bool ConnectionTest::pass_until_state(int32_t state, int passes) {
    for (int i = 0; i < passes && app_state() != state; ++i)
        main_loop_pass();
    return app_state() == state;
}

void ConnectionTest::unplug_and_replug() {
    sim::plug(false);
    ASSERT_TRUE(pass_until_state(kSearching, 5));
    sim::plug(true);
}
