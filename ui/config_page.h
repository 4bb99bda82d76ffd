// The configuration page: the body of the main window while a device is connected. It owns
// its widgets, their change marks and reference values; it hands the device operations and
// the .cfg codec records and shows what they return.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <string_view>

#include "app/text_id.h"
#include "config/config_record.h"
#include "device/identification.h"

class DeviceLink;

// Builds the page (not yet packed into the main window); an earlier page is destroyed first.
// Its buttons work on this link; a save keeps history under this device's identity.
void build_config_page(DeviceLink& link, const DeviceIdentity& identity);
// Builds the page, reads the device's configuration into it without a message, and only
// then packs it into the box, so it never shows half-filled.
void show_config_page(GtkWidget* box, DeviceLink& link, const DeviceIdentity& identity);
bool config_page_exists();
// Reads the device's configuration into the page without a message, as after identification.
void read_device_into_config_page();
// The .cfg text of what the page shows; the shown values become the reference values.
std::string config_page_cfg_text();
// Puts what a .cfg file gives on the page as its values and reference values (Save writes
// them); the message to show: loaded, or the file's level refused and nothing changed.
Text load_cfg_into_config_page(std::string_view text);
// The page root for identification to pack; null when no page exists.
GtkWidget* config_page_root();
// Destroys the page and forgets its widgets (the "Save" button included).
void destroy_config_page();

// One form row: the row label, then a text choice box with the choices (null: the numbers
// "1" to choice_count),
// and the change handler connected to "changed" (no user data). Returns the box.
GtkWidget* add_choice_row(GtkWidget* parent, const char* label_text, const char* const* choices,
                          int choice_count, GCallback changed_handler);
// A 150 x 30 button between two 45 x 30 spacers.
GtkWidget* add_page_button(GtkWidget* row, const char* label_text);
// Insensitive indicator button i of StatusIndicatorTable, 260 x 22.
GtkWidget* add_status_indicator(GtkWidget* row, int index);

// Change handlers of the eight choice boxes and of the CAN level entry.
void on_choice_changed(GtkComboBox* box, gpointer);
void on_level_entry_changed(GtkEditable* entry, gpointer);

// The page's widgets, null while no page exists.
GtkWidget* config_choice_box(ChoiceField field);
GtkWidget* config_manufacturer_list();
GtkWidget* config_model_list();
GtkWidget* config_level_entry();
GtkWidget* config_save_button();
GtkWidget* status_indicator_button(int index);
GtkWidget* config_speed_label();

// Background of indicator i in the insensitive state: its colour when lit, the theme's when not.
void paint_status_indicator(int index, bool lit);
// Greys the four buttons while another exchange holds the link, and restores them.
void set_config_buttons_sensitive(bool sensitive);
// The text of the speed indicator.
void set_speed_label(const char* text);
