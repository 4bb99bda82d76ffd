// What the device operations and the .cfg readers and writers need from the configuration page
// and its vehicle selection. The page implements it and registers itself while it exists, so
// the operations stay free of GTK and can be driven by a stand-in in tests.
#pragma once

#include <cstdint>
#include <string>

#include "app/text_id.h"
#include "config/config_record.h"
#include "config/config_reference.h"

class ConfigPageAccess {
   public:
    virtual ~ConfigPageAccess() = default;

    virtual int choice_index(ChoiceField field) const = 0;
    // Selects the position and re-runs the box's change marker, also when the position was
    // already selected (the reference may have moved meanwhile).
    virtual void set_choice_index(ChoiceField field, int index) = 0;
    // Re-runs the box's change marker against its reference value.
    virtual void remark_choice(ChoiceField field) = 0;

    virtual std::string level_text() const = 0;
    // Sets the CAN level entry's text and runs its change handler, also when the text stays.
    virtual void set_level_text(const std::string& text) = 0;
    // Runs the CAN level entry's change handler (re-selection by level and colour check).
    virtual void run_level_entry_handler() = 0;
    // The entry's text colour returns to the theme's.
    virtual void unmark_level_entry() = 0;

    virtual void clear_save_mark() = 0;

    virtual void select_vehicle(int32_t level, int32_t car_number, bool update_entry) = 0;
    virtual int32_t selected_car_number() const = 0;
    // The level the vehicle selection last stood for.
    virtual int32_t current_level() const = 0;

    // The values the fields are compared with; the page owns it.
    virtual ConfigReference& reference() = 0;

    // Shows a text of the language table in the message window.
    virtual void show_message_entry(Text entry) = 0;
};
