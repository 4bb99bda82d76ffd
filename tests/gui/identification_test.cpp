// Identification of the device that announced itself, and the two blocking windows.
#include <algorithm>
#include <string>
#include <vector>

#include "app/hidden_switch.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/widget_kit.h"
#include "config/config_page.h"
#include "device/device_link.h"
#include "device/identification.h"
#include "gui/connection_fixture.h"
#include "sim/sim_control.h"

namespace {

class IdentificationTest : public ConnectionTest {};

std::string format_incompatible(int type, int high, int low, SubVersion sv) {
    char text[200];
    snprintf(text, sizeof text,
             "Program doesn't work with this firmware version.\n(%04d-%02d%02d/%d-%d).", type, high,
             low, sv.a, sv.b);
    return text;
}

}  // namespace

TEST_F(IdentificationTest, CompatibleDeviceConnectsAndShowsItsName) {
    sim::set_firmware_number(0x0016);
    sim::set_sub_version(3, 7);
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_STREQ(status_label_text(), "QN718-0022");
    EXPECT_STREQ(version_label_text(), "(7)  ");
    EXPECT_NE(config_page_root(), nullptr);
    EXPECT_EQ(gtk_widget_get_parent(config_page_root()), main_box());
    EXPECT_EQ(message_slot(), nullptr) << message_text();
    EXPECT_EQ(sim::count_commands(2), 1) << "one speed-signal query";
}

TEST_F(IdentificationTest, OtherTypeGetsTheIncompatibleWindowEvenWithoutSubVersion) {
    sim::set_device_type(717);
    sim::set_sub_version_silent(true);
    const SubVersion before = sub_version();
    MessageAnswerer answerer("Try again");
    for (int i = 0; i < 100 && answerer.seen().empty(); ++i)
        main_loop_pass();
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0], format_incompatible(717, 0, 22, before));
    EXPECT_FALSE(device_is_open()) << "Try again closes the link";
    EXPECT_EQ(config_page_root(), nullptr);
    const int opened_before = sim::open_count();
    main_loop_pass();
    EXPECT_EQ(sim::open_count(), opened_before + 1) << "the search starts over";
}

TEST_F(IdentificationTest, IncompatibleWindowLayout) {
    bool checked = false;
    when_message_shown([&](GtkWidget* window) {
        EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Message");
        int width = 0, height = 0;
        gtk_widget_get_size_request(find_button(window, "Exit program"), &width, &height);
        EXPECT_EQ(width, 170);
        gtk_widget_get_size_request(find_button(window, "Change firmware"), &width, &height);
        EXPECT_EQ(width, 190);
        GtkWidget* again = find_button(window, "Try again");
        gtk_widget_get_size_request(again, &width, &height);
        EXPECT_EQ(width, 170);
        EXPECT_EQ(height, 25);
        checked = true;
        gtk_button_clicked(GTK_BUTTON(again));
    });
    sim::set_device_type(7180);
    for (int i = 0; i < 100 && !checked; ++i)
        main_loop_pass();
    EXPECT_TRUE(checked);
}

TEST_F(IdentificationTest, FirmwareTwentyOrTwentyOneIsWarnedAndNeverAskedForTheSignal) {
    for (uint16_t firmware : {20, 21}) {
        sim::set_firmware_number(firmware);
        sim::clear_received();
        ASSERT_TRUE(pass_until_state(kConnected));
        EXPECT_EQ(message_text(), "WARNING: Change firmware to version >=0022");
        EXPECT_EQ(sim::count_commands(2), 0);
        EXPECT_NE(config_page_root(), nullptr) << "a warning never stops the connection";
        clear_message_slot();
        unplug_and_replug();
    }
}

TEST_F(IdentificationTest, BusyDeviceIsAskedAgainEveryHalfSecond) {
    sim::set_status_sequence("2221");
    ASSERT_TRUE(pass_until_state(kConnected));
    std::vector<int64_t> asked;
    for (const auto& command : sim::received_commands()) {
        if (command.code == 2)
            asked.push_back(command.at_ms);
    }
    ASSERT_EQ(asked.size(), 4u);
    for (size_t i = 1; i < asked.size(); ++i)
        EXPECT_GE(asked[i] - asked[i - 1], 490);
    EXPECT_EQ(message_slot(), nullptr) << message_text();
}

TEST_F(IdentificationTest, SpeedSignalAnswersGiveTheirMessages) {
    sim::set_status_sequence("0");
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_EQ(message_text(),
              "WARNING!\nThe device does not read speed signal from CAN bus in this vehicle.\n"
              "Please try EOBD mode or analogue mode or check for QN718 firmware upgrade.");
    clear_message_slot();
    unplug_and_replug();

    sim::set_status_silent(true);
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_EQ(message_text(), "Configuration load error.");
    EXPECT_NE(config_page_root(), nullptr);
}

TEST_F(IdentificationTest, SilentSubVersionOnlyWithTheHiddenSwitch) {
    sim::set_sub_version_silent(true);
    set_version_label("");
    EXPECT_FALSE(pass_until_state(kConnected, 12));
    EXPECT_GE(sim::count_commands(0xF4), 2) << "each identity reply tries again";
    EXPECT_STREQ(status_label_text(), "QN718-0022") << "the name stays while greeting";

    set_hidden_switch(true);
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_STREQ(version_label_text(), "");
}

TEST_F(IdentificationTest, UnpluggingDestroysThePageAndTheNextConnectionRebuildsIt) {
    ASSERT_TRUE(pass_until_state(kConnected));
    GtkWidget* first = config_page_root();
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
    sim::plug(false);
    main_loop_pass();  // the next poll fails to reach the device
    main_loop_pass();
    ASSERT_TRUE(pass_until_state(kSearching, 5));
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(config_page_root(), nullptr);
    EXPECT_EQ(config_save_button(), nullptr);
    EXPECT_STREQ(status_label_text(), "Searching for device...");
    sim::plug(true);
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_NE(config_page_root(), nullptr);
}

TEST_F(IdentificationTest, OpenDropDownIsClosedWhenTheDeviceGoes) {
    ASSERT_TRUE(pass_until_state(kConnected));
    GtkWidget* list = config_manufacturer_list();
    gtk_widget_grab_focus(list);
    gtk_combo_box_popup(GTK_COMBO_BOX(list));
    process_pending_events();
    gboolean shown = FALSE;
    g_object_get(list, "popup-shown", &shown, nullptr);
    if (!shown)
        GTEST_SKIP() << "the drop-down did not open under this display";
    // The loop must close the list before it destroys the page.
    std::vector<std::string> events;
    g_signal_connect(list, "notify::popup-shown",
                     G_CALLBACK(+[](GObject* o, GParamSpec*, gpointer data) {
                         gboolean now = FALSE;
                         g_object_get(o, "popup-shown", &now, nullptr);
                         if (!now)
                             static_cast<std::vector<std::string>*>(data)->push_back("closed");
                     }),
                     &events);
    g_signal_connect(list, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer data) {
                         static_cast<std::vector<std::string>*>(data)->push_back("destroyed");
                     }),
                     &events);
    sim::plug(false);
    main_loop_pass();
    main_loop_pass();
    EXPECT_EQ(config_page_root(), nullptr);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "closed");
}

TEST_F(IdentificationTest, BootloaderWindowClosesTheHandleAndOffersThreeButtons) {
    sim::set_product(sim::Product::bootloader);
    std::vector<std::string> texts;
    bool handle_closed = false;
    when_message_shown([&](GtkWidget* window) {
        texts = label_texts(window);
        handle_closed = !device_is_open();
        int width = 0, height = 0;
        gtk_widget_get_size_request(find_button(window, "Program"), &width, &height);
        EXPECT_EQ(width, 180);
        EXPECT_NE(find_button(window, "Enable remote access"), nullptr);
        EXPECT_NE(find_button(window, "Exit program"), nullptr);
        clear_message_slot();
    });
    main_loop_pass();
    EXPECT_TRUE(handle_closed);
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Device is not programmed properly\nSelect firmware file."),
              texts.end());
    EXPECT_FALSE(device_is_open());
    EXPECT_EQ(app_state(), kSearching);
}

TEST_F(IdentificationTest, ExitProgramInTheBootloaderWindowEndsWithCodeZero) {
    sim::set_product(sim::Product::bootloader);
    EXPECT_EXIT(
        {
            when_message_shown([](GtkWidget* window) {
                gtk_button_clicked(GTK_BUTTON(find_button(window, "Exit program")));
            });
            main_loop_pass();
        },
        ::testing::ExitedWithCode(0), "");
}
