#include "gui/config_page_fixture.h"

#include "app/widget_kit.h"
#include "config/config_operations.h"
#include "config/config_page.h"
#include "config/vehicle_lookup.h"
#include "device/device_link.h"

void ConfigPageGuiTest::SetUp() {
    GuiTest::SetUp();
    if (IsSkipped())
        return;
    close_device();
    ASSERT_EQ(open_device(), 1);
    set_firmware_number(22);
    build_config_page();
    load_configuration(kLoadSilently);
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_container_add(GTK_CONTAINER(window_), config_page_root());
    gtk_widget_show(window_);
    process_pending_events();
}

void ConfigPageGuiTest::TearDown() {
    destroy_config_page();
    if (window_)
        gtk_widget_destroy(window_);
    close_device();
    GuiTest::TearDown();
}

bool drawn_red(GtkWidget* widget, GtkRcFlags kind, GtkStateType state) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(widget);
    if (!(style->color_flags[state] & kind))
        return false;
    const GdkColor& colour = kind == GTK_RC_FG ? style->fg[state] : style->text[state];
    return colour.red == 65535 && colour.green == 0 && colour.blue == 0;
}

bool save_label_red() {
    return drawn_red(gtk_bin_get_child(GTK_BIN(config_save_button())), GTK_RC_FG, GTK_STATE_NORMAL);
}

bool choice_red(ChoiceField field) {
    GtkWidget* shown = gtk_bin_get_child(GTK_BIN(config_choice_box(field)));
    const bool normal = drawn_red(shown, GTK_RC_TEXT, GTK_STATE_NORMAL);
    EXPECT_EQ(normal, drawn_red(shown, GTK_RC_TEXT, GTK_STATE_SELECTED));
    return normal;
}

bool level_entry_red() {
    return drawn_red(config_level_entry(), GTK_RC_TEXT, GTK_STATE_NORMAL);
}

int red_choice_count() {
    int count = 0;
    for (int i = 0; i < kChoiceFieldCount; ++i)
        count += choice_red(ChoiceField(i)) ? 1 : 0;
    return count;
}

std::string selected_model_text() {
    gchar* text = gtk_combo_box_get_active_text(GTK_COMBO_BOX(config_model_list()));
    if (!text)
        return {};
    std::string shown = text;
    g_free(text);
    return shown.substr(0, shown.find('\n'));
}

void set_active(GtkWidget* combo_box, int index) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo_box), index);
    process_pending_events();
}

void type_level(const char* text) {
    gtk_entry_set_text(GTK_ENTRY(config_level_entry()), text);
    process_pending_events();
}
