// A stand-in for the configuration page: plain values with the page's marking rules, and a
// record of what the operations asked of it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "app/number_text.h"
#include "config/config_page_access.h"
#include "config/config_reference.h"

struct VehicleRequest {
    int32_t level;
    int32_t car_number;
    bool update_entry;
};

class FakeConfigPage : public ConfigPageAccess {
   public:
    FakeConfigPage() {
        reset_config_reference();
        set_config_page_access(this);
    }
    ~FakeConfigPage() override { set_config_page_access(nullptr); }

    int choice_index(ChoiceField field) const override { return choices[field]; }
    void set_choice_index(ChoiceField field, int index) override {
        choices[field] = index;
        remark_choice(field);
    }
    void remark_choice(ChoiceField field) override {
        choice_marked[field] = choices[field] != config_reference().choices[field];
        if (choice_marked[field])
            save_marked = true;
    }

    std::string level_text() const override { return level; }
    void set_level_text(const std::string& text) override {
        level = text;
        run_level_entry_handler();
    }
    void run_level_entry_handler() override {
        const int32_t value = leading_int(level);
        if (value != selection_level)
            select_vehicle(value, 0, false);
        level_marked = value != config_reference().level;
        if (level_marked)
            save_marked = true;
    }
    void unmark_level_entry() override { level_marked = false; }

    void clear_save_mark() override { save_marked = false; }

    void select_vehicle(int32_t level_value, int32_t car_number, bool update_entry) override {
        vehicle_requests.push_back({level_value, car_number, update_entry});
        selected_car = car_number;
        selection_level = level_value;
        if (update_entry)
            set_level_text(std::to_string(level_value));
    }
    int32_t selected_car_number() const override { return selected_car; }
    int32_t current_level() const override { return selection_level; }

    void show_message_entry(int entry) override { messages.push_back(entry); }

    // The marked fields as the page would show them red: choice keys, "canlevel", "Save".
    std::string marks() const {
        std::string text;
        for (int i = 0; i < kChoiceFieldCount; ++i) {
            if (choice_marked[i])
                text += std::string(choice_field_info(ChoiceField(i)).key) + " ";
        }
        return text + (level_marked ? "canlevel " : "") + (save_marked ? "Save" : "");
    }

    std::array<int, kChoiceFieldCount> choices{};
    std::array<bool, kChoiceFieldCount> choice_marked{};
    std::string level = "0";
    bool level_marked = false;
    bool save_marked = false;
    int32_t selected_car = 0;
    int32_t selection_level = 0;
    std::vector<VehicleRequest> vehicle_requests;
    std::vector<int> messages;
};
