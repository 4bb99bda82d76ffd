// The configuration page: the body of the main window while a device is connected.
#pragma once

#include <gtk/gtk.h>

// Builds the page (not yet packed into the main window).
void build_config_page();
// The page root for identification to pack; null when no page exists.
GtkWidget* config_page_root();
// Destroys the page and forgets its widgets (the "Save" button included).
void destroy_config_page();
