// The main window and its status rows, alive for the whole run.
#pragma once

#include <gtk/gtk.h>

GtkWidget* main_window();
GtkWidget* main_box();
void set_status_label(const char* text);
void set_version_label(const char* text);
void set_info_label(const char* text);
void set_mode_label(const char* text);
const char* status_label_text();
const char* version_label_text();
