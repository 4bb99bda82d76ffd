// A connected configuration page in a window of its own, and ways to read its state.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "ui/widget_kit.h"
#include "ui/config_page.h"
#include "config/vehicle_lookup.h"
#include "ui/vehicle_selection.h"
#include "ui/connection.h"
#include "gui/gui_fixture.h"
#include "ui/program_context.h"

class ConfigPageGuiTest : public GuiTest {
   protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (IsSkipped())
            return;
        connection().link().close();
        ASSERT_EQ(connection().link().open(), OpenResult::link);
        program_context().firmware_number = 22;
        build_config_page(connection().link(), connection().identity());
        read_device_into_config_page();
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_container_add(GTK_CONTAINER(window_), config_page_root());
        gtk_widget_show(window_);
        process_pending_events();
    }
    void TearDown() override {
        destroy_config_page();
        if (window_)
            gtk_widget_destroy(window_);
        connection().link().close();
        GuiTest::TearDown();
    }

    GtkWidget* window_ = nullptr;
};

// What the page shows in red, in page order: the .cfg keys of the marked choice boxes,
// "canlevel" for the CAN level entry and "Save" for the button; "" when nothing is marked.
inline std::string page_marks() {
    std::string marks;
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        GtkWidget* shown = gtk_bin_get_child(GTK_BIN(config_choice_box(ChoiceField(i))));
        const bool red = drawn_red(shown, GTK_RC_TEXT);
        EXPECT_EQ(red, drawn_red(shown, GTK_RC_TEXT, GTK_STATE_SELECTED)) << "selected state";
        if (red)
            marks += std::string(choice_field_info(ChoiceField(i)).key) + " ";
    }
    if (drawn_red(config_level_entry(), GTK_RC_TEXT))
        marks += "canlevel ";
    if (drawn_red(gtk_bin_get_child(GTK_BIN(config_save_button())), GTK_RC_FG))
        marks += "Save ";
    return marks.substr(0, marks.empty() ? 0 : marks.size() - 1);
}

// "Manufacturer: first line of the model [entry text]" of the page's selection.
inline std::string page_selection() {
    const auto shown = [](GtkWidget* list) {
        gchar* text = gtk_combo_box_get_active_text(GTK_COMBO_BOX(list));
        const std::string whole = text ? text : "";
        g_free(text);
        return whole.substr(0, whole.find('\n'));
    };
    return shown(config_manufacturer_list()) + ": " + shown(config_model_list()) + " [" +
           gtk_entry_get_text(GTK_ENTRY(config_level_entry())) + "]";
}

inline void set_active(GtkWidget* combo_box, int index) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo_box), index);
    process_pending_events();
}

inline void type_level(const char* text) {
    gtk_entry_set_text(GTK_ENTRY(config_level_entry()), text);
    process_pending_events();
}
