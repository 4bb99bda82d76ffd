#include "cli/plain_page.h"

#include "config/vehicle_lookup.h"

void PlainPage::set_level_text(const std::string& text) {
    level_text_ = text;
    run_level_entry_handler();
}

void PlainPage::run_level_entry_handler() {
    // A typed level that differs from the selection's moves the selection to a row of that
    // level (car number unknown), as the page's entry does.
    const int32_t typed = leading_level_value(level_text_.c_str());
    if (typed != current_level_)
        select_vehicle(typed, 0, false);
}

void PlainPage::select_vehicle(int32_t level, int32_t car_number, bool update_entry) {
    // The lists show only rows this firmware may use; with no row selected the page has no
    // car number, and 0 is what it writes.
    const VehicleRef found = find_vehicle(level, car_number, firmware_number_);
    selected_car_ = found.found() ? vehicle_row(found).car_number : 0;
    current_level_ = level;
    if (update_entry)
        level_text_ = std::to_string(level);
}
