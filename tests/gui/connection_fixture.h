// The main window and the connection state machine against the simulated device.
#pragma once

#include <hidapi.h>

#include <cstdint>

#include "app/hidden_switch.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "device/link_compat.h"
#include "gui/gui_fixture.h"
#include "sim/sim_control.h"

class ConnectionTest : public GuiTest {
   protected:
    void SetUp() override {
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
    void TearDown() override {
        if (gui_available()) {
            sim::plug(false);  // nothing to find, nothing to block on
            close_device();
            main_loop_pass();  // back to searching: the page goes
        }
        GuiTest::TearDown();
    }
    // Runs main-loop passes until the state is reached (or the passes run out).
    static bool pass_until_state(int32_t state, int passes = 300) {
        for (int i = 0; i < passes && app_state() != state; ++i)
            main_loop_pass();
        return app_state() == state;
    }
    // The device goes away until the loop is searching again, then comes back.
    static void unplug_and_replug() {
        sim::plug(false);
        ASSERT_TRUE(pass_until_state(kSearching, 5));
        sim::plug(true);
    }
};
