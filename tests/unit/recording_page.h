// A stand-in for the configuration page: plain values, the page's own marking rules, and a
// record of what the operations asked of it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "config/config_page_access.h"
#include "config/field_marks.h"
#include "config/vehicle_lookup.h"

struct VehicleRequest {
    int32_t level;
    int32_t car_number;
    bool update_entry;
};

class RecordingPage : public ConfigPageAccess {
   public:
    int choice_index(ChoiceField field) const override { return choices[field]; }
    void set_choice_index(ChoiceField field, int index) override {
        choices[field] = index;
        remark_choice(field);
    }
    void remark_choice(ChoiceField field) override {
        choice_red[field] = choice_marked(choices[field], reference_.choices[field]);
        save_red = save_red || choice_red[field];
    }

    std::string level_text() const override { return level; }
    void set_level_text(const std::string& text) override {
        level = text;
        run_level_entry_handler();
    }
    void run_level_entry_handler() override {
        // The vehicle selection follows a typed level that differs from the one it shows; the
        // typed text is read by the page's own rule.
        const int32_t value = leading_level_value(level.c_str());
        if (value != selection_level)
            select_vehicle(value, 0, false);
        level_red = level_marked(level, reference_.level);
        save_red = save_red || level_red;
    }
    void unmark_level_entry() override { level_red = false; }

    void clear_save_mark() override { save_red = false; }

    void select_vehicle(int32_t level_value, int32_t car_number, bool update_entry) override {
        vehicle_requests.push_back({level_value, car_number, update_entry});
        selected_car = car_number;
        selection_level = level_value;
        if (update_entry)
            set_level_text(std::to_string(level_value));
    }
    int32_t selected_car_number() const override { return selected_car; }
    int32_t current_level() const override { return selection_level; }

    ConfigReference& reference() override { return reference_; }
    void show_message_entry(Text entry) override { messages.push_back(entry); }

    // The fields drawn red, as the page would show them: choice keys, "canlevel", "Save".
    std::string marks() const {
        std::string text;
        for (int i = 0; i < kChoiceFieldCount; ++i) {
            if (choice_red[i])
                text += std::string(choice_field_info(ChoiceField(i)).key) + " ";
        }
        return text + (level_red ? "canlevel " : "") + (save_red ? "Save" : "");
    }

    std::array<int, kChoiceFieldCount> choices{};
    std::array<bool, kChoiceFieldCount> choice_red{};
    std::string level = "0";
    bool level_red = false;
    bool save_red = false;
    int32_t selected_car = 0;
    int32_t selection_level = 0;
    std::vector<VehicleRequest> vehicle_requests;
    std::vector<Text> messages;

   private:
    ConfigReference reference_;
};
