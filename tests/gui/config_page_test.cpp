#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "app/language.h"
#include "app/widget_kit.h"
#include "config/config_operations.h"
#include "config/config_page.h"
#include "config/config_reference.h"
#include "config/status_indicators.h"
#include "config/vehicle_selection.h"
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

void expect_size(GtkWidget* widget, int width, int height, const std::string& what) {
    int w = 0, h = 0;
    gtk_widget_get_size_request(widget, &w, &h);
    EXPECT_EQ(w, width) << what;
    EXPECT_EQ(h, height) << what;
}

std::string font_of(GtkWidget* widget) {
    PangoFontDescription* description = gtk_widget_get_modifier_style(widget)->font_desc;
    if (!description)
        return {};
    gchar* text = pango_font_description_to_string(description);
    std::string name = text;
    g_free(text);
    return name;
}

int choice_count(GtkWidget* combo_box) {
    return gtk_tree_model_iter_n_children(gtk_combo_box_get_model(GTK_COMBO_BOX(combo_box)),
                                          nullptr);
}

std::vector<uint8_t> device_block() {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 13; ++i)
        bytes.push_back(sim::memory_byte(0x201 + i));
    return bytes;
}

using ConfigPageLayoutTest = ConfigPageGuiTest;

TEST_F(ConfigPageLayoutTest, FormRowsHaveTheirLabelsSizesAndFonts) {
    GtkWidget* root = config_page_root();
    ASSERT_TRUE(GTK_IS_HBOX(root));
    const std::vector<GtkWidget*> top = children(root);
    ASSERT_EQ(top.size(), 2u);
    expect_size(top[0], 10, 10, "left spacer");
    ASSERT_TRUE(GTK_IS_VBOX(top[1]));

    const std::vector<GtkWidget*> rows = children(top[1]);
    const int label_entries[] = {32, 33, 103, 86, 87, 88, 89, -1, 90, 91, 92};
    for (int r = 0; r < 11; ++r) {
        const std::vector<GtkWidget*> cells = children(rows[r]);
        ASSERT_GE(cells.size(), 2u);
        ASSERT_TRUE(GTK_IS_LABEL(cells[0]));
        const std::string expected = label_entries[r] >= 0 ? lang_text(label_entries[r]) : "";
        EXPECT_EQ(gtk_label_get_text(GTK_LABEL(cells[0])), expected);
        expect_size(cells[0], 500, 20, expected);
        EXPECT_EQ(font_of(cells[0]), "Arial 9") << expected;
        int row_height = 0;
        gtk_widget_get_size_request(rows[r], nullptr, &row_height);
        EXPECT_EQ(row_height, 22) << expected;
    }
    expect_size(config_level_entry(), 50, 20, "level entry");
    EXPECT_EQ(font_of(config_level_entry()), "Arial 7");

    const int counts[kChoiceFieldCount] = {5, 5, 4, 6, 2, 3, 50, 3};
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        GtkWidget* box = config_choice_box(ChoiceField(i));
        EXPECT_EQ(choice_count(box), counts[i]) << i;
        EXPECT_EQ(font_of(gtk_bin_get_child(GTK_BIN(box))), "Arial 7") << i;
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(config_choice_box(kSwitchoffTime)), 0);
    gchar* first = gtk_combo_box_get_active_text(GTK_COMBO_BOX(config_choice_box(kSwitchoffTime)));
    EXPECT_STREQ(first, lang_text(95));
    g_free(first);
}

TEST_F(ConfigPageLayoutTest, HelpIndicatorsAndButtons) {
    GtkWidget* help = nullptr;
    // The help text is the one label that wraps.
    std::vector<GtkWidget*> stack = {config_page_root()};
    while (!stack.empty() && !help) {
        GtkWidget* widget = stack.back();
        stack.pop_back();
        if (GTK_IS_LABEL(widget) && gtk_label_get_line_wrap(GTK_LABEL(widget)))
            help = widget;
        if (GTK_IS_CONTAINER(widget)) {
            for (GtkWidget* child : children(widget))
                stack.push_back(child);
        }
    }
    ASSERT_NE(help, nullptr);
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(help)), lang_text(101));
    expect_size(help, 990, 145, "help");
    EXPECT_EQ(font_of(help), "Arial 8");

    // Two columns: indicator i and i + 5 share a row, the speed indicator stands alone.
    for (int i = 0; i < kStatusIndicatorCount; ++i) {
        GtkWidget* indicator = status_indicator_button(i);
        ASSERT_NE(indicator, nullptr);
        EXPECT_FALSE(gtk_widget_is_sensitive(indicator));
        expect_size(indicator, 260, 22, StatusIndicatorTable[i].label);
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(indicator));
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), StatusIndicatorTable[i].label);
        GtkRcStyle* style = gtk_widget_get_modifier_style(label);
        EXPECT_TRUE(style->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_FG);
        EXPECT_EQ(style->fg[GTK_STATE_INSENSITIVE].red, 0);
        if (i < 4) {
            EXPECT_EQ(gtk_widget_get_parent(indicator),
                      gtk_widget_get_parent(status_indicator_button(i + 5)));
        }
    }
    EXPECT_EQ(children(gtk_widget_get_parent(status_indicator_button(4))).size(), 2u);
    EXPECT_EQ(config_speed_label(), gtk_bin_get_child(GTK_BIN(status_indicator_button(4))));

    GtkWidget* row = gtk_widget_get_parent(config_save_button());
    const std::vector<GtkWidget*> cells = children(row);
    ASSERT_EQ(cells.size(), 13u);
    expect_size(cells[0], 10, 5, "button row spacer");
    const int captions[] = {102, 35, 36, 37};
    for (int b = 0; b < 4; ++b) {
        expect_size(cells[1 + 3 * b], 45, 30, "spacer before");
        GtkWidget* button = cells[2 + 3 * b];
        expect_size(button, 150, 30, lang_text(captions[b]));
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(button));
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), lang_text(captions[b]));
        EXPECT_EQ(font_of(label), "Arial 7");
        expect_size(cells[3 + 3 * b], 45, 30, "spacer after");
    }
    EXPECT_EQ(cells[11], config_save_button());
}

TEST_F(ConfigPageLayoutTest, LiveStatusPaintsIndicatorsAndSpeed) {
    paint_status_indicator(2, true);
    GtkRcStyle* style = gtk_widget_get_modifier_style(status_indicator_button(2));
    EXPECT_TRUE(style->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_BG);
    EXPECT_EQ(style->bg[GTK_STATE_INSENSITIVE].red, 0xFFFF);
    paint_status_indicator(2, false);
    style = gtk_widget_get_modifier_style(status_indicator_button(2));
    EXPECT_FALSE(style->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_BG);

    set_speed_label("Speed (km/h): 12.34");
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(config_speed_label())), "Speed (km/h): 12.34");
}

TEST_F(ConfigPageGuiTest, SilentReadShowsTheDeviceVehicleUnmarked) {
    EXPECT_EQ(selected_model_text(), "Golf V 1K year 2003-2009");
    EXPECT_EQ(selected_car_number(), 43);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(config_level_entry())), "3");
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(kVoffSpeed))), 3);
    EXPECT_EQ(red_choice_count(), 0);
    EXPECT_FALSE(level_entry_red());
    EXPECT_FALSE(save_label_red());
}

TEST_F(ConfigPageGuiTest, ModelWithAnotherLevelMarksEntryAndSave) {
    // Volkswagen stays selected; the first Volkswagen row that is not on level 3.
    const std::vector<int>& rows = model_row_map();
    int position = -1;
    for (size_t p = 0; p < rows.size() && position < 0; ++p) {
        set_active(config_model_list(), static_cast<int>(p));
        if (current_level() != 3)
            position = static_cast<int>(p);
    }
    ASSERT_GE(position, 0);
    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(config_level_entry())), std::to_string(current_level()));
    EXPECT_TRUE(level_entry_red());
    EXPECT_TRUE(save_label_red());
    EXPECT_EQ(red_choice_count(), 0);
}

TEST_F(ConfigPageGuiTest, ChoicePutBackLosesItsMarkButSaveStaysRed) {
    GtkWidget* box = config_choice_box(kHoldonTime);
    set_active(box, 3);
    EXPECT_TRUE(choice_red(kHoldonTime));
    EXPECT_TRUE(save_label_red());
    set_active(box, 0);
    EXPECT_FALSE(choice_red(kHoldonTime));
    EXPECT_TRUE(save_label_red());
}

TEST_F(ConfigPageGuiTest, TypedLevelSelectsFirstRowAndKeepsTheText) {
    type_level("110");
    EXPECT_EQ(selected_model_text(), "A6 4B year 1997-2004");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(config_level_entry())), "110");
    EXPECT_TRUE(level_entry_red());

    type_level("9999");
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(config_manufacturer_list())), -1);
    EXPECT_EQ(choice_count(config_model_list()), 0);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(config_level_entry())), "9999");
}

TEST_F(ConfigPageGuiTest, CalibrateMarksOnlyTheScale) {
    sim::set_calibration(7, 3);
    MessageAnswerer answerer;
    gtk_button_clicked(GTK_BUTTON(find_button(config_page_root(), lang_text(102))));
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(answerer.seen().front(), lang_text(104));
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(kSpeedometerScale))), 7);
    EXPECT_TRUE(choice_red(kSpeedometerScale));
    EXPECT_EQ(red_choice_count(), 1);
    EXPECT_FALSE(level_entry_red());
    EXPECT_TRUE(save_label_red());
}

TEST_F(ConfigPageGuiTest, SaveWritesTheChangesAndClearsEveryMark) {
    set_active(config_choice_box(kProgOutput), 2);
    type_level("300");  // no row carries it: car number 0 goes out
    ASSERT_TRUE(save_label_red());
    MessageAnswerer answerer;
    gtk_button_clicked(GTK_BUTTON(config_save_button()));
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(answerer.seen().front(), lang_text(17));
    EXPECT_EQ(device_block(),
              (std::vector<uint8_t>{255, 2, 3, 0, 2, 0, 0, 0, 2, 0, 0, 0x01, 0x2B}));
    EXPECT_EQ(config_reference().level, 300);
    EXPECT_EQ(red_choice_count(), 0);
    EXPECT_FALSE(level_entry_red());
    EXPECT_FALSE(save_label_red());
}

TEST_F(ConfigPageGuiTest, DefaultsAndLoadRestoreTheReferenceView) {
    sim::set_memory(0x201, {6, 4, 4, 3, 5, 1, 2, 9, 1, 0, 73, 0, 0});
    set_active(config_choice_box(kVonSpeed), 4);
    MessageAnswerer answerer;
    sim::clear_received();
    gtk_button_clicked(GTK_BUTTON(find_button(config_page_root(), lang_text(35))));
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 1; }));
    EXPECT_EQ(answerer.seen().back(), lang_text(19));
    EXPECT_TRUE(sim::received_commands().empty());
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(kVonSpeed))), 2);
    EXPECT_FALSE(save_label_red());
    EXPECT_EQ(red_choice_count(), 0);

    // Fields already showing what the device holds must lose their marks all the same.
    set_active(config_choice_box(kVonSpeed), 4);
    type_level("6");
    ASSERT_TRUE(choice_red(kVonSpeed));
    ASSERT_TRUE(level_entry_red());
    gtk_button_clicked(GTK_BUTTON(find_button(config_page_root(), lang_text(36))));
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 2; }));
    EXPECT_EQ(answerer.seen().back(), lang_text(11));
    EXPECT_EQ(selected_model_text(), "A4 8E year 2004-2008");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(config_level_entry())), "6");
    EXPECT_EQ(gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(kSwitchoffTime))), 5);
    EXPECT_EQ(red_choice_count(), 0);
    EXPECT_FALSE(level_entry_red());
    EXPECT_FALSE(save_label_red());
}

TEST_F(ConfigPageGuiTest, RebuiltPageStartsWithoutMarks) {
    set_active(config_choice_box(kAnalogIgn), 1);
    type_level("12");
    ASSERT_TRUE(save_label_red());
    gtk_container_remove(GTK_CONTAINER(window_), config_page_root());
    destroy_config_page();
    EXPECT_EQ(config_page_root(), nullptr);
    mark_save_button(true);  // no page: nothing to colour, nothing to fail

    build_config_page();
    load_configuration(kLoadSilently);
    gtk_container_add(GTK_CONTAINER(window_), config_page_root());
    process_pending_events();
    EXPECT_EQ(red_choice_count(), 0);
    EXPECT_FALSE(level_entry_red());
    EXPECT_FALSE(save_label_red());
    EXPECT_EQ(selected_model_text(), "Golf V 1K year 2003-2009");
}

}  // namespace
