// The remote-access window: the password, the Connect toggle, the connection and status
// labels and the reconnection check box. While it exists the relay owns the device.
#pragma once

#include <gtk/gtk.h>

class DeviceLink;

// Opens the window on this link unless it exists: the device side is shut and the main window
// hidden. The relay works on the link until the window closes.
void open_remote_window(DeviceLink& link);
// Ends the session, destroys the window and shows the main window again; the main loop then
// searches for the device. Returns true.
bool close_remote_window();
// Ends the connection and shows the window as not connected.
void end_remote_session(bool by_user);
// One relay step; the main loop's whole pass while the window exists.
void run_relay_step();

// The window's widgets, for tests; null while it is closed.
struct RemoteWidgets {
    GtkWidget* window = nullptr;
    GtkWidget* password = nullptr;
    GtkWidget* toggle = nullptr;
    GtkWidget* connection_label = nullptr;
    GtkWidget* status_label = nullptr;
    GtkWidget* reconnect = nullptr;
};
const RemoteWidgets& remote_widgets();
