// The configuration page without widgets: the values the page would show, and a vehicle
// selection that follows the same lookup as the page's lists. Through it the device operations
// and the .cfg codec work exactly as they do behind the window.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "config/config_page_access.h"

class PlainPage : public ConfigPageAccess {
   public:
    // The vehicle selection hides the rows a device with this firmware number cannot use.
    explicit PlainPage(uint32_t firmware_number) : firmware_number_(firmware_number) {}

    int choice_index(ChoiceField field) const override { return choices_[field]; }
    void set_choice_index(ChoiceField field, int index) override { choices_[field] = index; }
    // Nothing is drawn, so there is no change mark to renew.
    void remark_choice(ChoiceField) override {}

    std::string level_text() const override { return level_text_; }
    void set_level_text(const std::string& text) override;
    void run_level_entry_handler() override;
    void unmark_level_entry() override {}
    void clear_save_mark() override {}

    void select_vehicle(int32_t level, int32_t car_number, bool update_entry) override;
    int32_t selected_car_number() const override { return selected_car_; }
    int32_t current_level() const override { return current_level_; }

    ConfigReference& reference() override { return reference_; }
    void show_message_entry(Text entry) override { messages_.push_back(entry); }

    // The texts the operations asked to show, oldest first.
    const std::vector<Text>& messages() const { return messages_; }

   private:
    uint32_t firmware_number_;
    std::array<int, kChoiceFieldCount> choices_{};
    std::string level_text_ = "0";
    int32_t selected_car_ = 0;
    int32_t current_level_ = 0;
    ConfigReference reference_;
    std::vector<Text> messages_;
};
