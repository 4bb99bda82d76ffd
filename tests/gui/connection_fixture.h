// The main window and the connection state machine against the simulated device.
#pragma once

#include <cstdint>

#include "gui/gui_fixture.h"

class ConnectionTest : public GuiTest {
   protected:
    void SetUp() override;
    void TearDown() override;
    // Runs main-loop passes until the state is reached (or the passes run out).
    bool pass_until_state(int32_t state, int passes = 300);
    // The device goes away until the loop is searching again, then comes back.
    void unplug_and_replug();
};
