// A connected configuration page in a window of its own, and ways to read its marks.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "config/config_record.h"
#include "gui/gui_fixture.h"

class ConfigPageGuiTest : public GuiTest {
   protected:
    void SetUp() override;
    void TearDown() override;

    GtkWidget* window_ = nullptr;
};

// True when the widget's colour override of this kind (GTK_RC_FG or GTK_RC_TEXT) in this
// state is pure red.
bool drawn_red(GtkWidget* widget, GtkRcFlags kind, GtkStateType state);
bool save_label_red();
bool choice_red(ChoiceField field);
bool level_entry_red();
int red_choice_count();

// The model list's shown text (its first line), "" when nothing is selected.
std::string selected_model_text();
void set_active(GtkWidget* combo_box, int index);
void type_level(const char* text);
