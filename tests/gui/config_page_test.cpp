// The configuration page: its layout, its change marks and its four buttons.
#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

#include "app/language.h"
#include "device/status_indicators.h"
#include "gui/config_page_fixture.h"
#include "sim/sim_control.h"

namespace {

std::vector<GtkWidget*> children(GtkWidget* container) {
    std::vector<GtkWidget*> list;
    GList* all = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList* item = all; item; item = item->next)
        list.push_back(GTK_WIDGET(item->data));
    g_list_free(all);
    return list;
}

// The widget's own font, "" when it has none.
std::string font_of(GtkWidget* widget) {
    PangoFontDescription* font = gtk_widget_get_modifier_style(widget)->font_desc;
    gchar* name = font ? pango_font_description_to_string(font) : nullptr;
    const std::string text = name ? name : "";
    g_free(name);
    return text;
}

// "width x height" as the page asked for it, then the widget's own font when it has one.
std::string size_and_font(GtkWidget* widget) {
    int w = 0, h = 0;
    gtk_widget_get_size_request(widget, &w, &h);
    const std::string font = font_of(widget);
    return std::to_string(w) + " x " + std::to_string(h) + (font.empty() ? "" : " " + font);
}

std::string label_of(GtkWidget* button) {
    return gtk_label_get_text(GTK_LABEL(gtk_bin_get_child(GTK_BIN(button))));
}

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

// One of each kind of widget the page is built from, in its place, size and font.
TEST_F(ConfigPageGuiTest, LayoutOfRowsHelpIndicatorsAndButtons) {
    const std::vector<GtkWidget*> top = children(config_page_root());
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(size_and_font(top[0]), "10 x 10") << "left spacer";
    const std::vector<GtkWidget*> rows = children(top[1]);
    const std::optional<Text> label_entries[] = {
        Text::car_manufacturer,        Text::car_model,
        Text::can_level_selection,     Text::switch_on_speed,
        Text::switch_off_speed,        Text::hold_on_time,
        Text::switch_off_time,         std::nullopt,
        Text::analogue_ignition_input, Text::speedometer_scale,
        Text::programmable_output};
    for (int r = 0; r < 11; ++r) {
        GtkWidget* label = children(rows[r]).front();
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)),
                     label_entries[r] ? lang_text(*label_entries[r]) : "");
    }
    EXPECT_EQ(size_and_font(children(rows[3]).front()), "500 x 20 Arial 9");
    EXPECT_EQ(size_and_font(config_level_entry()), "50 x 20 Arial 7");
    EXPECT_EQ(font_of(gtk_bin_get_child(GTK_BIN(config_choice_box(kVonSpeed)))), "Arial 7");

    GtkWidget* help = find_widget(config_page_root(), [](GtkWidget* w) {
        return GTK_IS_LABEL(w) && gtk_label_get_line_wrap(GTK_LABEL(w));  // the one that wraps
    });
    ASSERT_NE(help, nullptr);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(help)), lang_text(Text::help_text));
    EXPECT_EQ(size_and_font(help), "990 x 145 Arial 8");

    // Two columns: indicator i and i + 5 share a row, the speed indicator stands alone.
    for (int i = 0; i < kStatusIndicatorCount; ++i) {
        const int partner = i < 4 ? i + 5 : i > 4 ? i - 5 : i;
        EXPECT_EQ(gtk_widget_get_parent(status_indicator_button(i)),
                  gtk_widget_get_parent(status_indicator_button(partner)));
        EXPECT_EQ(label_of(status_indicator_button(i)), StatusIndicatorTable[i].label);
    }
    EXPECT_EQ(children(gtk_widget_get_parent(status_indicator_button(4))).size(), 2u);
    EXPECT_EQ(config_speed_label(), gtk_bin_get_child(GTK_BIN(status_indicator_button(4))));
    EXPECT_FALSE(gtk_widget_is_sensitive(status_indicator_button(4)));
    EXPECT_EQ(size_and_font(status_indicator_button(4)), "260 x 22");
    GtkRcStyle* text = gtk_widget_get_modifier_style(config_speed_label());
    EXPECT_TRUE(text->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_FG) << "black, not greyed";
    EXPECT_EQ(text->fg[GTK_STATE_INSENSITIVE].red, 0);

    // A 10 x 5 spacer, then each button 150 x 30 between two 45 x 30 spacers.
    std::string row;
    for (GtkWidget* cell : children(gtk_widget_get_parent(config_save_button()))) {
        row += size_and_font(cell) + (GTK_IS_BUTTON(cell) ? " " + label_of(cell) : "") + " | ";
    }
    EXPECT_EQ(row,
              "10 x 5 | 45 x 30 | 150 x 30 Calibrate | 45 x 30 | 45 x 30 | 150 x 30 Default "
              "settings | 45 x 30 | 45 x 30 | 150 x 30 Load | 45 x 30 | 45 x 30 | 150 x 30 Save | "
              "45 x 30 | ");
    EXPECT_EQ(font_of(gtk_bin_get_child(GTK_BIN(config_save_button()))), "Arial 7");
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
