// The filter settings window, opened by pressing the console's "Filter" button: the tags
// whose lines the console shows.
#pragma once

#include <gtk/gtk.h>

// The console the settings belong to.
struct FilterOwner {
    GtkWidget* window = nullptr;         // parent of the settings window
    GtkWidget* filter_button = nullptr;  // drawn red while the filter is on
    void (*view_changed)() = nullptr;    // shows the record again, through the filter
};

// The "Filter" button was toggled: pressed opens the settings, released switches the filter
// off and shows every line again.
void filter_button_toggled(bool pressed, const FilterOwner& owner);
// Draws a new console's "Filter" button as the filter stands (pressed and red while it is on),
// without opening the settings; call it before the button's "toggled" handler is connected.
void show_filter_state(GtkWidget* filter_button);
// "OK": the filter goes on with the ticked tags; the tag texts are saved.
gboolean apply_filter_settings();
// "Cancel" or closing the window: the filter goes off, the saved choice stays.
gboolean cancel_filter_settings();

// The open settings window, or null.
GtkWidget* filter_settings_window();
