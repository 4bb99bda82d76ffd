// The configuration page: its change marks and its four buttons.
#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "ui/ui_text.h"
#include "console/traffic_log.h"
#include "gui/config_page_fixture.h"
#include "sim/sim_control.h"
#include "ui/console_window.h"
#include "ui/program_context.h"

namespace {

int active(ChoiceField field) {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(field)));
}

// Presses the page button with this caption and answers the message it brings; its text.
std::string press(Text caption_entry) {
    MessageAnswerer answerer;
    gtk_button_clicked(GTK_BUTTON(find_button(config_page_root(), lang_text(caption_entry))));
    run_events_until([&] { return !answerer.seen().empty(); });
    return answerer.seen().empty() ? "" : answerer.seen().front();
}

TEST_F(ConfigPageGuiTest, SpeedReadsBlackOnItsIdleIndicatorAndChoicesStandInWireOrder) {
    EXPECT_EQ(config_speed_label(), gtk_bin_get_child(GTK_BIN(status_indicator_button(4))));
    EXPECT_FALSE(gtk_widget_is_sensitive(status_indicator_button(4)));
    GtkRcStyle* text = gtk_widget_get_modifier_style(config_speed_label());
    EXPECT_TRUE(text->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_FG) << "black, not greyed";
    EXPECT_EQ(text->fg[GTK_STATE_INSENSITIVE].red, 0);

    set_active(config_choice_box(kSwitchoffTime), 0);
    gchar* first = gtk_combo_box_get_active_text(GTK_COMBO_BOX(config_choice_box(kSwitchoffTime)));
    EXPECT_STREQ(first, lang_text(Text::enabled_at_zero_speed)) << "choices in wire order";
    g_free(first);
}

TEST_F(ConfigPageGuiTest, ChoicePutBackLosesItsMarkButSaveStaysRedAndCalibrateMarksTheScale) {
    set_active(config_choice_box(kHoldonTime), 3);
    EXPECT_EQ(page_marks(), "holdon_time Save");
    set_active(config_choice_box(kHoldonTime), 0);
    EXPECT_EQ(page_marks(), "Save");
    sim::set_calibration(7, 3);
    EXPECT_EQ(press(Text::calibrate), lang_text(Text::calibration_finished));
    EXPECT_EQ(active(kSpeedometerScale), 7);
    EXPECT_EQ(page_marks(), "speedometer_scale Save");
}

TEST_F(ConfigPageGuiTest, SaveWritesTheChangesAndClearsEveryMark) {
    set_active(config_choice_box(kProgOutput), 2);
    type_level("300");  // no row carries it: car number 0 goes out
    EXPECT_EQ(press(Text::save), lang_text(Text::config_saved));
    std::vector<uint8_t> block;
    for (int i = 0; i < 13; ++i)
        block.push_back(sim::memory_byte(0x201 + i));
    EXPECT_EQ(block, (std::vector<uint8_t>{255, 2, 3, 0, 2, 0, 0, 0, 2, 0, 0, 0x01, 0x2B}));
    EXPECT_EQ(page_marks(), "");
}

// The console's wait for its response serves the window: a Save pressed meanwhile neither
// starts nor takes the console's reply, and the controls come back afterwards.
TEST_F(ConfigPageGuiTest, SavePressedDuringAConsoleResponseWaitIsRefused) {
    open_console(connection().link());
    const ConsoleWidgets console = *console_widgets();
    gtk_entry_set_text(GTK_ENTRY(console.command_entry), "07");  // answered after 4 polls
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(console.response), TRUE);
    sim::set_calibration(3, 4);
    sim::clear_received();
    program_context().traffic.clear();
    std::vector<bool> sensitive;  // Save, Send, while the console waits
    later(10, [&] {
        sensitive = {static_cast<bool>(gtk_widget_is_sensitive(config_save_button())),
                     static_cast<bool>(gtk_widget_is_sensitive(console.send_button))};
        gtk_button_clicked(GTK_BUTTON(config_save_button()));
    });
    gtk_button_clicked(GTK_BUTTON(console.send_button));
    EXPECT_EQ(sensitive, (std::vector<bool>{false, false}));
    EXPECT_NE(program_context().traffic.text().find("01 - "), std::string::npos)
        << "the console's own reply";
    ASSERT_EQ(sim::received_commands().size(), 1u) << "no frame of a save";
    EXPECT_EQ(sim::received_commands()[0].code, 0x07);
    EXPECT_TRUE(gtk_widget_is_sensitive(config_save_button()));
    EXPECT_TRUE(gtk_widget_is_sensitive(console.send_button));
    close_console();
    EXPECT_EQ(press(Text::save), lang_text(Text::config_saved)) << "and Save works again";
}

TEST_F(ConfigPageGuiTest, SaveKeepsDeviceBytesThatNoChoiceShows) {
    // An erased or foreign block: analogue ignition 7 has no entry, so its box shows nothing.
    sim::set_memory(0x201, {3, 2, 3, 0, 2, 0, 7, 0, 0, 0, 43, 0, 0});
    ASSERT_EQ(press(Text::load), lang_text(Text::config_loaded));
    ASSERT_EQ(active(kAnalogIgn), -1);
    EXPECT_EQ(press(Text::save), lang_text(Text::config_saved));
    EXPECT_EQ(sim::memory_byte(0x201 + 6), 7) << "a byte the user never touched was replaced";
}

TEST_F(ConfigPageGuiTest, LoadRestoresTheReferenceViewAndClearsEveryMark) {
    sim::set_memory(0x201, {6, 4, 4, 3, 5, 1, 2, 9, 1, 0, 73, 0, 0});
    // Fields already showing what the device holds must lose their marks all the same.
    set_active(config_choice_box(kVonSpeed), 4);
    type_level("6");
    ASSERT_EQ(page_marks(), "von_speed canlevel Save");
    EXPECT_EQ(press(Text::load), lang_text(Text::config_loaded));
    EXPECT_EQ(page_selection(), "Audi: A4 8E year 2004-2008 [6]");
    EXPECT_EQ(active(kSwitchoffTime), 5);
    EXPECT_EQ(page_marks(), "");
}

}  // namespace
