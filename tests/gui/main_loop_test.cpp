// The connection state machine of the main loop against the simulated device.
#include <hidapi.h>

#include <vector>

#include "app/language.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "gui/connection_fixture.h"
#include "sim/sim_control.h"

namespace {

class MainLoopTest : public ConnectionTest {
   protected:
    static void queue_reply(uint8_t code, std::vector<uint8_t> payload) {
        sim::queue_raw_reply(encode_frame(code, payload.data(), payload.size()));
    }
};

}  // namespace

TEST_F(MainLoopTest, WithoutADeviceItKeepsSearching) {
    sim::plug(false);
    main_loop_pass();
    EXPECT_EQ(app_state(), kSearching);
    EXPECT_STREQ(status_label_text(), "Searching for device...");
    EXPECT_STREQ(version_label_text(), "");
}

TEST_F(MainLoopTest, GreetingMovesOnOnlyForReplySevenStartingWithTwoOne) {
    sim::set_greeting_silent(true);
    main_loop_pass();
    ASSERT_EQ(app_state(), kGreetingWithCommand1);
    EXPECT_STREQ(status_label_text(), "Please wait...");

    queue_reply(7, {2, 2});
    main_loop_pass();
    EXPECT_EQ(app_state(), kGreetingWithCommand1);
    queue_reply(7, {2});
    main_loop_pass();
    EXPECT_EQ(app_state(), kGreetingWithCommand1);
    queue_reply(6, {2, 1});
    main_loop_pass();
    EXPECT_EQ(app_state(), kGreetingWithCommand1);
    EXPECT_GT(sim::count_commands(1), 0) << "state 8 greets with command 1";

    queue_reply(7, {2, 1});
    main_loop_pass();
    EXPECT_EQ(app_state(), kGreetingWithCommand4);
    sim::clear_received();
    queue_reply(7, {2, 1});
    main_loop_pass();
    EXPECT_EQ(app_state(), kGreetingWithCommand4);
    EXPECT_GT(sim::count_commands(4), 0) << "state 9 greets with command 4";
    EXPECT_EQ(sim::count_commands(1), 0);
}

TEST_F(MainLoopTest, ShortWriteFallsBackToSearching) {
    sim::set_greeting_silent(true);
    main_loop_pass();
    ASSERT_EQ(app_state(), kGreetingWithCommand1);
    sim::fail_writes_after(0);
    main_loop_pass();
    EXPECT_FALSE(device_is_open());
    sim::plug(false);
    main_loop_pass();
    EXPECT_EQ(app_state(), kSearching);
    EXPECT_STREQ(status_label_text(), "Searching for device...");
}

TEST_F(MainLoopTest, MainWindowTitleAndFixedSize) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(main_window())),
                 "Quarnell programmer QN718 v.2.20.0");
    EXPECT_EQ(gtk_container_get_border_width(GTK_CONTAINER(main_window())), 4u);
    // Xvfb's 1280 x 1024 screen holds the 1010 x 670 area, so the window keeps that size.
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(main_window())));
}

TEST(HiddenSwitch, OnlyAWholeArgumentAfterTheProgramName) {
    const char* with[] = {"prog", "--lang", "pl", "tarvel"};
    EXPECT_TRUE(has_hidden_switch_argument(4, const_cast<char**>(with)));
    const char* as_name[] = {"tarvel", "x"};
    EXPECT_FALSE(has_hidden_switch_argument(2, const_cast<char**>(as_name)));
    const char* partial[] = {"prog", "tarvel2", "xtarvel", "Tarvel"};
    EXPECT_FALSE(has_hidden_switch_argument(4, const_cast<char**>(partial)));
}
