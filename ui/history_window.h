// "Configuration history..." in the Tools menu: the blocks devices held before the program
// overwrote them, newest first, to put back on the page or save as a .cfg file.
#pragma once

#include <gtk/gtk.h>

#include <string>

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
