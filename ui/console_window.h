// The console window (Ctrl+S in the main window): raw commands to the device and the view of
// the recorded traffic, with the filter and log-file buttons.
#pragma once

#include <gtk/gtk.h>

#include <string>

// Shows the console, building it when it is not open. Returns true.
class DeviceLink;

// Opens the console (or brings it to the front) on this link.
bool open_console(DeviceLink& link);
// Destroys the window (also when a window that needs the device alone opens). The record, the
// history, the log file and the filter stay as they are. Returns true.
bool close_console();
// The view shows the record again, through the filter. Nothing happens while it is closed.
void reload_console_view();
// Greys "Send" while another exchange holds the link, and restores it.
void set_console_send_sensitive(bool sensitive);
// The log button: stops the log file, or asks for one and starts it.
bool toggle_log_file();
// The part after the file chooser; "Can not open file!" when the file cannot be opened.
void start_log_file(const std::string& path);

// The window's widgets, for the filter window and for tests; null while it is closed.
struct ConsoleWidgets {
    GtkWidget* window = nullptr;
    GtkWidget* command_entry = nullptr;
    GtkWidget* data_entry = nullptr;
    GtkWidget* send_button = nullptr;
    GtkWidget* autoscroll = nullptr;
    GtkWidget* response = nullptr;
    GtkWidget* filter_button = nullptr;
    GtkWidget* log_button = nullptr;
    GtkWidget* view = nullptr;
    GtkTextBuffer* buffer = nullptr;
};
const ConsoleWidgets* console_widgets();
