// "Configuration history..." in the Tools menu: the blocks devices held before the program
// overwrote them, newest first, to put back on the page or save as a .cfg file. Also the
// window's keeper of those blocks, which every "Save" of the page hands the device's block to.
#pragma once

#include <gtk/gtk.h>

#include <string>

#include "config/config_operations.h"
#include "device/identification.h"

// Keeps the block as an entry for the device of this identity; when that fails, says so in
// the message window and stops the write.
KeepHeldBlock window_history_keeper(const DeviceIdentity& identity);

// Opens the window (or raises it when open), with the list read afresh. Entries that cannot
// be read are named in the message window and left out.
void open_history_window();
void close_history_window();

// For tests: the window, its list and the file the chooser would be skipped for.
GtkWidget* history_window();
GtkTreeView* history_list();
// Selects the row (0 = newest) and does what the button does; the "Save as file" step takes
// the file name instead of asking for it.
void load_history_row_into_page(int row);
void save_history_row_as(int row, const std::string& file);
