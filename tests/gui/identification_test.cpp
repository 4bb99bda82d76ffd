// Identification of the device that announced itself, and the two blocking windows.
#include <algorithm>
#include <string>
#include <vector>

#include "device/identification.h"
#include "gui/config_page_fixture.h"
#include "gui/connection_fixture.h"
#include "ui/program_context.h"

namespace {

using IdentificationTest = ConnectionTest;

TEST_F(IdentificationTest, CompatibleDeviceConnectsAndShowsItsName) {
    sim::set_firmware_number(0x0016);
    sim::set_sub_version(3, 7);
    ASSERT_TRUE(pass_until_state(AppState::connected));
    EXPECT_STREQ(status_label_text(), "QN718-0022");
    EXPECT_STREQ(version_label_text(), "(7)  ");
    ASSERT_NE(config_page_root(), nullptr);
    EXPECT_EQ(gtk_widget_get_parent(config_page_root()), main_box());
    EXPECT_EQ(message_slot(), nullptr) << message_text();
    EXPECT_EQ(sim::count_commands(2), 1) << "one speed-signal query";
}

TEST_F(IdentificationTest, OtherTypeGetsTheIncompatibleWindowEvenWithoutSubVersion) {
    sim::set_device_type(717);
    sim::set_sub_version_silent(true);
    const SubVersion sv = connection().sub_version();
    char expected[200];
    snprintf(expected, sizeof expected,
             "Program doesn't work with this firmware version.\n(0717-0022/%d-%d).", sv.a, sv.b);
    bool answered = false;
    when_message_shown([&](GtkWidget* window) {
        EXPECT_EQ(message_text(), expected);
        EXPECT_NE(find_button(window, "Exit program"), nullptr);
        EXPECT_NE(find_button(window, "Change firmware"), nullptr);
        answered = true;
        gtk_button_clicked(GTK_BUTTON(find_button(window, "Try again")));
    });
    for (int i = 0; i < 100 && !answered; ++i)
        main_loop_pass();
    ASSERT_TRUE(answered);
    EXPECT_FALSE(connection().link().is_open()) << "Try again closes the link";
    EXPECT_EQ(config_page_root(), nullptr);
    const int opened_before = sim::open_count();
    main_loop_pass();
    EXPECT_EQ(sim::open_count(), opened_before + 1) << "the search starts over";
}

TEST_F(IdentificationTest, WarningsNeverStopTheConnection) {
    struct Case {
        uint16_t firmware;
        const char* status;  // null: no answer to command 2
        const char* message;
        int speed_queries;  // -1: any number
    };
    const char* old_firmware = "WARNING: Change firmware to version >=0022";
    for (const Case& c :
         {Case{21, "1", old_firmware, 0},
          Case{22, "0",
               "WARNING!\nThe device does not read speed signal from CAN bus in this vehicle.\n"
               "Please try EOBD mode or analogue mode or check for QN718 firmware upgrade.",
               1},
          Case{22, nullptr, "Configuration load error.", -1}}) {
        sim::set_firmware_number(c.firmware);
        sim::set_status_silent(!c.status);
        sim::set_status_sequence(c.status ? c.status : "1");
        sim::clear_received();
        ASSERT_TRUE(pass_until_state(AppState::connected));
        EXPECT_EQ(message_text(), c.message);
        if (c.speed_queries >= 0) {
            EXPECT_EQ(sim::count_commands(2), c.speed_queries) << c.firmware;
        }
        EXPECT_NE(config_page_root(), nullptr);
        clear_message_slot();
        unplug_and_replug();
    }
}

TEST_F(IdentificationTest, BusyDeviceIsAskedAgainEveryHalfSecond) {
    sim::set_status_sequence("2221");
    ASSERT_TRUE(pass_until_state(AppState::connected));
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

TEST_F(IdentificationTest, SilentSubVersionOnlyWithTheHiddenSwitch) {
    sim::set_sub_version_silent(true);
    set_version_label("");
    EXPECT_FALSE(pass_until_state(AppState::connected, 12));
    EXPECT_GE(sim::count_commands(0xF4), 2) << "each identity reply tries again";
    EXPECT_STREQ(status_label_text(), "QN718-0022") << "the name stays while greeting";

    program_context().start.hidden_switch = true;
    ASSERT_TRUE(pass_until_state(AppState::connected));
    EXPECT_STREQ(version_label_text(), "");
}

TEST_F(IdentificationTest, UnpluggingDestroysThePageAndTheNextConnectionRebuildsItUnmarked) {
    ASSERT_TRUE(pass_until_state(AppState::connected));
    set_active(config_choice_box(kAnalogIgn), 1);
    type_level("12");
    ASSERT_EQ(page_marks(), "analog_ign canlevel Save");
    GtkWidget* first = config_page_root();
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
    sim::plug(false);
    main_loop_pass();  // the next poll fails to reach the device
    main_loop_pass();
    ASSERT_TRUE(pass_until_state(AppState::searching, 5));
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(config_page_root(), nullptr);
    EXPECT_EQ(config_save_button(), nullptr);
    EXPECT_STREQ(status_label_text(), "Searching for device...");

    sim::plug(true);
    ASSERT_TRUE(pass_until_state(AppState::connected));
    ASSERT_NE(config_page_root(), nullptr);
    EXPECT_EQ(page_selection(), "Volkswagen: Golf V 1K year 2003-2009 [3]");
    EXPECT_EQ(page_marks(), "");
}

TEST_F(IdentificationTest, OpenDropDownIsClosedWhenTheDeviceGoes) {
    ASSERT_TRUE(pass_until_state(AppState::connected));
    GtkWidget* list = config_manufacturer_list();
    gtk_widget_grab_focus(list);
    gtk_combo_box_popup(GTK_COMBO_BOX(list));
    process_pending_events();
    gboolean shown = FALSE;
    g_object_get(list, "popup-shown", &shown, nullptr);
    if (!shown)
        GTEST_SKIP() << "the drop-down did not open under this display";
    // The loop must close the list while the page still stands.
    int closed_with_page = -1;
    g_signal_connect(list, "notify::popup-shown",
                     G_CALLBACK(+[](GObject*, GParamSpec*, gpointer closed_with_page) {
                         *static_cast<int*>(closed_with_page) = config_page_root() != nullptr;
                     }),
                     &closed_with_page);
    sim::plug(false);
    main_loop_pass();
    main_loop_pass();
    EXPECT_EQ(config_page_root(), nullptr);
    EXPECT_EQ(closed_with_page, 1);
}

TEST_F(IdentificationTest, BootloaderWindowClosesTheHandleAndItsExitEndsWithCodeZero) {
    sim::set_product(sim::Product::bootloader);
    std::vector<std::string> texts;
    bool handle_closed = false;
    when_message_shown([&](GtkWidget* window) {
        texts = label_texts(window);
        handle_closed = !connection().link().is_open();
        EXPECT_NE(find_button(window, "Program"), nullptr);
        EXPECT_NE(find_button(window, "Enable remote access"), nullptr);
        EXPECT_NE(find_button(window, "Exit program"), nullptr);
        clear_message_slot();
    });
    main_loop_pass();
    EXPECT_TRUE(handle_closed);
    EXPECT_NE(std::find(texts.begin(), texts.end(),
                        "Device is not programmed properly\nSelect firmware file."),
              texts.end());
    EXPECT_FALSE(connection().link().is_open());
    EXPECT_EQ(connection().state(), AppState::searching);

    EXPECT_EXIT(
        {
            when_message_shown([](GtkWidget* window) {
                gtk_button_clicked(GTK_BUTTON(find_button(window, "Exit program")));
            });
            main_loop_pass();
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
