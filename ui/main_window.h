// The main window and its status rows, alive for the whole run.
#pragma once

#include <gtk/gtk.h>

#include "ui/status_labels.h"

class DeviceLink;

// Window, scroll area and main box; fixed size or maximised by the monitors' work areas.
// Closing the window closes the link and ends the program; its keys work on the link.
void create_main_window(DeviceLink& link);
// A fixed-size window grows to show the whole page without scrolling (the page's height
// depends on the fonts, the theme and the language), never beyond the smallest work area.
void fit_main_window_to_page();
// The status row (status and version labels) and the info row (info and mode labels).
void build_status_rows();
// For tests that build the window more than once in one process.
void destroy_main_window();

GtkWidget* main_window();
GtkWidget* main_box();
