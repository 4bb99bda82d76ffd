// The main window's menu bar: "Tools", "Language" and, when there are themes, "Themes".
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

class DeviceLink;

// "Firmware update" and "Enable remote access" work on the link.
void build_menu_bar(GtkWidget* main_box, DeviceLink& link);
// Greys "Firmware update" and "Enable remote access" while an exchange holds the link, and
// restores them.
void set_device_menu_items_sensitive(bool sensitive);
// Flips the start-up update-check preference, saves it and relabels its menu item; switching it
// on runs the update check at once and shows its outcome.
void toggle_update_check_preference();
// Label of the update-preference item for a preference byte.
const char* update_preference_label(uint8_t preference);
GtkWidget* update_preference_label_widget();
