// The vehicle selection on the configuration page: the manufacturer list, the model list and
// the CAN level entry that the page creates, and the handlers that keep them in step.
// The rules themselves are in config/vehicle_lookup.h; this layer only moves them to widgets.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <vector>

#include "config/vehicle_lookup.h"

// Called by the page once its vehicle widgets exist. Both lists are text combo boxes (a list
// store whose column 0 is the text). Fills the manufacturer list with every manufacturer
// (whatever the firmware) and selects the first, connects fill_model_list and the model
// handler to the lists' "changed" signals, and sets the page-built flag. The entry's own
// "changed" handler stays the page's. list_font (may be null) is applied to the model list's
// children after every fill. The page then sets its reference level and calls
// fill_model_list() once.
void attach_vehicle_widgets(GtkComboBox* manufacturer_list, GtkComboBox* model_list,
                            GtkEntry* level_entry, PangoFontDescription* list_font);
// Forgets the widgets and clears the page-built flag; also runs by itself when one of the
// widgets is destroyed.
void detach_vehicle_widgets();

// Change handler of the manufacturer list: rebuilds the model list from the selected
// manufacturer's rows that the device's firmware allows, selects the first one.
void fill_model_list();
// Change handler of the model list: the selection now stands for the row's level, and the
// entry shows it unless select_vehicle asked to leave the entry alone.
void on_model_list_changed();

// Selects manufacturer and model for a configuration (level, car number) by the rules of
// find_vehicle; nothing matching empties the model list. With update_entry set, the entry
// ends up showing the level.
void select_vehicle(int32_t level, int32_t car_number, bool update_entry);
// The car number of the selected model, 0 when no page or no selection.
int32_t selected_car_number();

// The first half of the page's CAN level entry handler: when the typed number differs from
// the level the selection stands for, select by the typed level and leave the text as typed.
// The page marks the entry afterwards.
void follow_level_entry_text(const char* text);

// Model-list position -> row number in the selected manufacturer's array.
const std::vector<int>& model_row_map();
// The CAN level the vehicle selection last stood for.
int32_t current_level();
// Clear only while select_vehicle runs with update_entry clear.
bool update_entry_flag();
bool page_built();
