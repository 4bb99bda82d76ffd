// The filter settings window, opened by pressing the console's "Filter" button: the tags
// whose lines the console shows.
#pragma once

#include <gtk/gtk.h>

// "toggled" of the "Filter" button: pressed opens the settings, released switches the
// filter off and shows every line again.
gboolean open_filter_settings(GtkToggleButton* button, gpointer);
// "OK": the filter goes on with the ticked tags; the tag texts are saved.
gboolean apply_filter_settings();
// "Cancel" or closing the window: the filter goes off, the saved choice stays.
gboolean cancel_filter_settings();

// The open settings window, or null.
GtkWidget* filter_settings_window();
