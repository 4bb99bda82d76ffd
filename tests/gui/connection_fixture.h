// The main window and the connection state machine against the simulated device.
#pragma once

#include <hidapi.h>

#include <cstdint>

#include "ui/main_loop.h"
#include "ui/main_window.h"
#include "ui/connection.h"
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
            create_main_window(connection().link());
            build_status_rows();
            gtk_widget_show(main_window());
        }
        connection().link().close();
        connection().restart();
    }
    void TearDown() override {
        if (gui_available()) {
            sim::plug(false);  // nothing to find, nothing to block on
            connection().link().close();
            main_loop_pass();  // back to searching: the page goes
        }
        GuiTest::TearDown();
    }
    // Runs main-loop passes until the state is reached (or the passes run out).
    static bool pass_until_state(AppState state, int passes = 300) {
        for (int i = 0; i < passes && connection().state() != state; ++i)
            main_loop_pass();
        return connection().state() == state;
    }
    // The device goes away until the loop is searching again, then comes back.
    static void unplug_and_replug() {
        sim::plug(false);
        ASSERT_TRUE(pass_until_state(AppState::searching, 5));
        sim::plug(true);
    }
};
