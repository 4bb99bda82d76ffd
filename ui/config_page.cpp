#include "ui/config_page.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/ui_text.h"
#include "ui/accessibility.h"
#include "ui/widget_kit.h"
#include "app/number_text.h"
#include "config/cfg_file.h"
#include "config/config_messages.h"
#include "config/config_operations.h"
#include "config/config_reference.h"
#include "config/field_marks.h"
#include "device/device_link.h"
#include "device/status_indicators.h"
#include "ui/vehicle_selection.h"
#include "ui/history_keeper.h"

namespace {

constexpr int kIndicatorRows = 5;

// Row labels of the eight choice rows; the switch-off mode row has none.
constexpr std::optional<Text> kChoiceRowLabels[kChoiceFieldCount] = {Text::switch_on_speed,
                                                                     Text::switch_off_speed,
                                                                     Text::hold_on_time,
                                                                     Text::switch_off_time,
                                                                     std::nullopt,
                                                                     Text::analogue_ignition_input,
                                                                     Text::speedometer_scale,
                                                                     Text::programmable_output};

struct PageWidgets {
    GtkWidget* root = nullptr;
    GtkWidget* manufacturer_list = nullptr;
    GtkWidget* model_list = nullptr;
    GtkWidget* level_entry = nullptr;
    GtkEntryBuffer* level_buffer = nullptr;
    std::array<GtkWidget*, kChoiceFieldCount> choice_boxes{};
    std::array<GtkWidget*, kStatusIndicatorCount> indicators{};
    std::array<int8_t, kStatusIndicatorCount> indicator_lit{-1, -1, -1, -1, -1, -1, -1, -1, -1};
    GtkWidget* speed_label = nullptr;
    GtkWidget* save_button = nullptr;
    std::array<GtkWidget*, 4> buttons{};  // calibrate, defaults, load, save
    ConfigReference reference;
    DeviceLink* link = nullptr;  // the connection's, for the buttons
    DeviceIdentity identity;     // of the device the page shows, for its history entries
};

PageWidgets g_page;

GdkColor gdk_colour(uint32_t rgb) {
    // 8-bit components stretched to GDK's 16 bits.
    return {0, static_cast<guint16>(((rgb >> 16) & 0xFF) * 257),
            static_cast<guint16>(((rgb >> 8) & 0xFF) * 257),
            static_cast<guint16>((rgb & 0xFF) * 257)};
}

GtkWidget* make_choice_box() {
    GtkWidget* box = gtk_combo_box_new_text();
    gtk_widget_show(box);
    return box;
}

// An empty label as a fixed spacer without padding: the page's outer spacer and the button
// row are packed tight, so that the page is no wider than the main area's 1010 pixels (the
// help row, 990 + 2 x 5, sets that width).
void add_tight_spacer(GtkWidget* box, int width, int height) {
    GtkWidget* spacer = make_label("");
    gtk_widget_set_size_request(spacer, width, height);
    gtk_box_pack_start(GTK_BOX(box), spacer, FALSE, FALSE, 0);
}

void pack_row(GtkWidget* column, GtkWidget* row) {
    gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 1);
}

int choice_field_of(GtkWidget* box) {
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        if (g_page.choice_boxes[i] == box)
            return i;
    }
    return -1;
}

void mark_save_button(bool flag) {
    if (!g_page.save_button)
        return;
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(g_page.save_button));
    if (label)
        gtk_widget_modify_fg(label, GTK_STATE_NORMAL, flag ? &kPureRed : nullptr);
}

void mark_level_entry() {
    if (level_marked(gtk_entry_buffer_get_text(g_page.level_buffer), g_page.reference.level)) {
        gtk_widget_modify_text(g_page.level_entry, GTK_STATE_NORMAL, &kPureRed);
        mark_save_button(true);
    } else {
        gtk_widget_modify_text(g_page.level_entry, GTK_STATE_NORMAL, nullptr);
    }
}

void mark_choice(GtkWidget* combo_box, int reference) {
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(combo_box));
    const bool changed =
        choice_marked(gtk_combo_box_get_active(GTK_COMBO_BOX(combo_box)), reference);
    if (child) {
        const GdkColor* colour = changed ? &kPureRed : nullptr;
        gtk_widget_modify_text(child, GTK_STATE_NORMAL, colour);
        gtk_widget_modify_text(child, GTK_STATE_SELECTED, colour);
    }
    if (changed)
        mark_save_button(true);
}

void unmark_level_entry() {
    gtk_widget_modify_text(g_page.level_entry, GTK_STATE_NORMAL, nullptr);
}

std::string level_text() {
    return gtk_entry_buffer_get_text(g_page.level_buffer);
}

// Sets the entry's text and runs its change handler, also when the text stays: the handler
// compares against the reference level, which may have moved.
void set_level_text(const std::string& text) {
    set_entry_text_and_notify(GTK_ENTRY(g_page.level_entry), text.c_str());
}

// Selects the position and runs the box's change marker, also when the position was already
// selected (the reference may have moved meanwhile).
void set_choice(ChoiceField field, int index) {
    set_active_and_notify(GTK_COMBO_BOX(g_page.choice_boxes[field]), index);
}

// A device byte outside the box's list leaves the box without a selection; the byte the device
// holds (kept as the reference) is what stands for it.
int shown_choice(int field) {
    const int shown = gtk_combo_box_get_active(GTK_COMBO_BOX(g_page.choice_boxes[field]));
    return shown >= 0 ? shown : g_page.reference.choices[field];
}

// The choices as a write or a file takes them; they become the references.
void take_choices(ConfigRecord& record) {
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        const int index = shown_choice(i);
        g_page.reference.choices[i] = index;
        record.choices[i] = static_cast<uint8_t>(index);
        mark_choice(g_page.choice_boxes[i], index);
    }
}

// A record taken over from the device or the defaults: every field and its reference.
void apply_record(const ConfigRecord& record) {
    g_page.reference.level = record.can_level;
    set_level_text(std::to_string(record.can_level));
    select_vehicle(record.can_level, record.car_number, true);
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        g_page.reference.choices[i] = record.choices[i];
        set_choice(static_cast<ChoiceField>(i), record.choices[i]);
    }
}

enum class LoadKind {
    from_device,  // button "Load": read and report
    defaults,     // button "Default settings": nothing is sent
    silently,     // after identification: read without a success message
};

void load_page(DeviceLink& link, LoadKind kind) {
    const std::optional<ConfigRecord> record =
        kind == LoadKind::defaults ? default_configuration() : load_configuration(link);
    if (!record) {
        show_message(lang_text(Text::config_load_error));
        return;
    }
    apply_record(*record);
    if (kind == LoadKind::from_device)
        show_message(lang_text(Text::config_loaded));
    if (kind == LoadKind::defaults)
        show_message(lang_text(Text::defaults_loaded));
    mark_save_button(false);
}

void save_page() {
    ConfigRecord record;
    // Taken before the level handler below can move the selection.
    const int32_t car_number = selected_car_number();
    if (!parse_can_level_text(level_text(), &record.can_level)) {
        show_message(lang_text(*save_message(SaveOutcome::bad_level)));
        return;
    }
    g_page.reference.level = record.can_level;
    on_level_entry_changed(GTK_EDITABLE(g_page.level_entry), nullptr);
    take_choices(record);
    record.car_number = static_cast<uint16_t>(car_number);
    const SaveOutcome outcome =
        save_configuration(*g_page.link, record, window_history_keeper(g_page.identity));
    if (const std::optional<Text> message = save_message(outcome))
        show_message(lang_text(*message));
    if (saved(outcome))
        mark_save_button(false);
}

void calibrate_page() {
    const CalibrationResult result = calibrate_speedometer(*g_page.link);
    // The reference keeps the old scale, so the new one shows as a pending change.
    if (result.outcome == CalibrationOutcome::calibrated)
        set_choice(kSpeedometerScale, result.scale);
    show_message(lang_text(calibration_message(result.outcome)));
}

bool g_page_exists = false;

// The buttons are greyed while another exchange holds the link; a click that still gets
// through (a press queued before the greying) does nothing.
void on_calibrate_clicked(GtkButton*, gpointer) {
    if (const auto exchange = g_page.link->begin_exchange())
        calibrate_page();
}
void on_defaults_clicked(GtkButton*, gpointer) {
    if (const auto exchange = g_page.link->begin_exchange())
        load_page(*g_page.link, LoadKind::defaults);
}
void on_load_clicked(GtkButton*, gpointer) {
    if (const auto exchange = g_page.link->begin_exchange())
        load_page(*g_page.link, LoadKind::from_device);
}
void on_save_clicked(GtkButton*, gpointer) {
    if (const auto exchange = g_page.link->begin_exchange())
        save_page();
}

GtkWidget* add_vehicle_row(GtkWidget* column, Text label_entry, GtkWidget** label) {
    GtkWidget* row = make_row_box();
    *label = add_row_label(row, lang_text(label_entry));
    pack_row(column, row);
    return row;
}

GtkWidget* add_vehicle_list(GtkWidget* column, Text label_entry) {
    GtkWidget* label = nullptr;
    GtkWidget* row = add_vehicle_row(column, label_entry, &label);
    GtkWidget* list = make_choice_box();
    gtk_box_pack_start(GTK_BOX(row), list, TRUE, TRUE, 1);
    apply_font_to_children(list, font(kFontArial7));
    tie_label_to_control(label, list);
    return list;
}

void build_vehicle_block(GtkWidget* column) {
    g_page.manufacturer_list = add_vehicle_list(column, Text::car_manufacturer);
    g_page.model_list = add_vehicle_list(column, Text::car_model);

    GtkWidget* level_label = nullptr;
    GtkWidget* level_row = add_vehicle_row(column, Text::can_level_selection, &level_label);
    g_page.level_buffer =
        add_entry(level_row, G_CALLBACK(on_level_entry_changed), &g_page.level_entry);
    tie_label_to_control(level_label, g_page.level_entry);
    gtk_widget_set_size_request(g_page.level_entry, 50, 20);
    gtk_widget_modify_font(g_page.level_entry, font(kFontArial7));
    gtk_box_pack_start(GTK_BOX(level_row), make_label(""), FALSE, FALSE, 1);

    attach_vehicle_widgets(GTK_COMBO_BOX(g_page.manufacturer_list),
                           GTK_COMBO_BOX(g_page.model_list), GTK_ENTRY(g_page.level_entry),
                           font(kFontArial7));
    fill_model_list();
}

void build_choice_rows(GtkWidget* column) {
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        const ChoiceFieldInfo& info = choice_field_info(static_cast<ChoiceField>(i));
        std::vector<const char*> texts;
        if (info.choices) {
            for (int k = 0; k < info.count; ++k) {
                const ChoiceText& choice = info.choices[k];
                texts.push_back(choice.fixed ? choice.fixed : lang_text(choice.entry));
            }
        }
        const std::optional<Text> label = kChoiceRowLabels[i];
        g_page.choice_boxes[i] = add_choice_row(column, label ? lang_text(*label) : "",
                                                info.choices ? texts.data() : nullptr, info.count,
                                                G_CALLBACK(on_choice_changed));
    }
}

void build_help_text(GtkWidget* column) {
    add_separator(column);
    GtkWidget* row = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(row);
    GtkWidget* help = make_label(lang_text(Text::help_text));
    gtk_label_set_line_wrap(GTK_LABEL(help), TRUE);
    gtk_widget_set_size_request(help, 990, 145);
    gtk_widget_modify_font(help, font(kFontArial8));
    gtk_misc_set_alignment(GTK_MISC(help), 0, 0);
    gtk_box_pack_start(GTK_BOX(row), help, FALSE, FALSE, 5);
    gtk_box_pack_start(GTK_BOX(column), row, FALSE, FALSE, 5);
}

void build_indicators(GtkWidget* column) {
    // Two columns: 0-4 on the left, 5-8 on the right, the speed alone in the last row.
    for (int i = 0; i < kIndicatorRows; ++i) {
        GtkWidget* row = make_row_box();
        add_spacer(row, 200, 10);
        add_status_indicator(row, i);
        if (i != kSpeedIndicator) {
            add_spacer(row, 10, 10);
            add_spacer(row, 10, 10);
            add_status_indicator(row, i + kIndicatorRows);
        }
        pack_row(column, row);
    }
}

void build_buttons(GtkWidget* column) {
    add_spacer(column, 10, 10);
    add_separator(column);
    add_spacer(column, 5, 7);
    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    gtk_widget_show(row);
    add_tight_spacer(row, 10, 5);
    const std::pair<Text, GCallback> buttons[] = {
        {Text::calibrate, G_CALLBACK(on_calibrate_clicked)},
        {Text::default_settings, G_CALLBACK(on_defaults_clicked)},
        {Text::load, G_CALLBACK(on_load_clicked)},
        {Text::save, G_CALLBACK(on_save_clicked)},
    };
    for (size_t i = 0; i < g_page.buttons.size(); ++i) {
        g_page.buttons[i] = add_page_button(row, lang_text(buttons[i].first));
        g_signal_connect(g_page.buttons[i], "clicked", buttons[i].second, nullptr);
    }
    g_page.save_button = g_page.buttons.back();
    pack_row(column, row);
}

}  // namespace

void build_config_page(DeviceLink& link, const DeviceIdentity& identity) {
    destroy_config_page();
    g_page.link = &link;
    g_page.identity = identity;

    g_page.root = gtk_hbox_new(FALSE, 0);
    // Held by us as well, so the page can be destroyed whether or not it was ever packed.
    g_object_ref_sink(g_page.root);
    gtk_widget_show(g_page.root);
    add_tight_spacer(g_page.root, 10, 10);
    GtkWidget* column = gtk_vbox_new(FALSE, 0);
    gtk_widget_show(column);
    gtk_box_pack_start(GTK_BOX(g_page.root), column, FALSE, FALSE, 0);

    build_vehicle_block(column);
    build_choice_rows(column);
    build_help_text(column);
    build_indicators(column);
    build_buttons(column);
    g_page_exists = true;
}

bool config_page_exists() {
    return g_page_exists;
}

void read_device_into_config_page() {
    if (g_page_exists)
        load_page(*g_page.link, LoadKind::silently);
}

std::string config_page_cfg_text() {
    ConfigRecord record;
    // The entry's own rule: its leading digits, so " 3" or "-3" is written as 0, as the page
    // reads it.
    record.can_level = leading_level_value(level_text().c_str());
    g_page.reference.level = record.can_level;
    unmark_level_entry();
    record.car_number = static_cast<uint16_t>(selected_car_number());
    take_choices(record);
    return encode_cfg(record);
}

Text load_cfg_into_config_page(std::string_view text) {
    ConfigRecord shown;
    shown.can_level = current_level();
    shown.car_number = static_cast<uint16_t>(selected_car_number());
    for (int i = 0; i < kChoiceFieldCount; ++i)
        shown.choices[i] = static_cast<uint8_t>(shown_choice(i));
    const CfgDecoded decoded = decode_cfg(text, shown);
    // A file without one line of ours changes nothing.
    if (decoded.problem == CfgProblem::no_configuration_lines)
        return Text::config_loaded;
    const ConfigRecord& record = decoded.record;
    // What the file gives becomes the reference, so it is not drawn as changed; the entry's
    // handler moves the selection to the file's level first. The entry shows the level as the
    // file writes it, as if typed: a level the device must not get is refused by Save, like a
    // typed one.
    if (decoded.level_given) {
        set_level_text(decoded.level_text);
        g_page.reference.level = leading_int(decoded.level_text);
        unmark_level_entry();
    }
    // The car number is looked up under the level the file has just put in place, so rows
    // whose second level is that level are found too.
    if (decoded.car_given)
        select_vehicle(current_level(), record.car_number, false);
    for (int i = 0; i < kChoiceFieldCount; ++i) {
        if (!decoded.choice_given[i])
            continue;
        g_page.reference.choices[i] = record.choices[i];
        set_choice(static_cast<ChoiceField>(i), record.choices[i]);
    }
    return Text::config_loaded;
}

void show_config_page(GtkWidget* box, DeviceLink& link, const DeviceIdentity& identity) {
    build_config_page(link, identity);
    read_device_into_config_page();
    if (g_page.root && box)
        gtk_box_pack_start(GTK_BOX(box), g_page.root, FALSE, FALSE, 0);
    process_pending_events();
}

GtkWidget* config_page_root() {
    return g_page.root;
}

void destroy_config_page() {
    g_page_exists = false;
    detach_vehicle_widgets();
    GtkWidget* root = g_page.root;
    g_page = PageWidgets{};
    if (root) {
        gtk_widget_destroy(root);
        g_object_unref(root);
    }
}

GtkWidget* add_choice_row(GtkWidget* parent, const char* label_text, const char* const* choices,
                          int choice_count, GCallback changed_handler) {
    GtkWidget* row = make_row_box();
    GtkWidget* label = add_row_label(row, label_text);
    GtkWidget* box = make_choice_box();
    if (*label_text)
        tie_label_to_control(label, box);
    if (choices) {
        for (int k = 0; k < choice_count; ++k)
            gtk_combo_box_append_text(GTK_COMBO_BOX(box), choices[k]);
    } else {
        for (int k = 1; k <= choice_count; ++k) {
            gtk_combo_box_append_text(GTK_COMBO_BOX(box), std::to_string(k).c_str());
        }
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(box), 0);
    apply_font_to_children(box, font(kFontArial7));
    gtk_box_pack_start(GTK_BOX(row), box, TRUE, TRUE, 1);
    g_signal_connect(box, "changed", changed_handler, nullptr);
    pack_row(parent, row);
    return box;
}

GtkWidget* add_page_button(GtkWidget* row, const char* label_text) {
    add_tight_spacer(row, 45, 30);
    GtkWidget* button = make_button(label_text);
    gtk_widget_set_size_request(button, 150, 30);
    gtk_widget_modify_font(gtk_bin_get_child(GTK_BIN(button)), font(kFontArial7));
    gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 0);
    add_tight_spacer(row, 45, 30);
    return button;
}

GtkWidget* add_status_indicator(GtkWidget* row, int index) {
    const StatusIndicator& record = StatusIndicatorTable[index];
    GtkWidget* button = make_indicator_button();
    GtkWidget* label = make_label(record.label);
    const GdkColor text_colour = gdk_colour(StatusIndicatorTable[kStatusIndicatorCount].colour);
    gtk_widget_modify_fg(label, GTK_STATE_INSENSITIVE, &text_colour);
    gtk_container_add(GTK_CONTAINER(button), label);
    gtk_widget_set_sensitive(button, FALSE);
    gtk_widget_set_size_request(button, 260, 22);
    gtk_widget_show(button);
    gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 1);
    g_page.indicators[index] = button;
    if (index == kSpeedIndicator) {
        g_page.speed_label = label;
    }
    return button;
}

void on_choice_changed(GtkComboBox* box, gpointer) {
    const int field = choice_field_of(GTK_WIDGET(box));
    if (field >= 0)
        mark_choice(GTK_WIDGET(box), g_page.reference.choices[field]);
}

void on_level_entry_changed(GtkEditable*, gpointer) {
    if (!g_page.level_entry)
        return;
    follow_level_entry_text(gtk_entry_buffer_get_text(g_page.level_buffer));
    mark_level_entry();
}

void paint_status_indicator(int index, bool lit) {
    if (index < 0 || index >= kStatusIndicatorCount || !g_page.indicators[index])
        return;
    // Each colour change makes GTK lay the window out again; status replies mostly repeat.
    const int8_t state = lit ? 1 : 0;
    if (g_page.indicator_lit[index] == state)
        return;
    g_page.indicator_lit[index] = state;
    set_indicator_lit(g_page.indicators[index], lit);
    const GdkColor colour = gdk_colour(StatusIndicatorTable[index].colour);
    gtk_widget_modify_bg(g_page.indicators[index], GTK_STATE_INSENSITIVE, lit ? &colour : nullptr);
}

void set_config_buttons_sensitive(bool sensitive) {
    for (GtkWidget* button : g_page.buttons) {
        if (button)
            gtk_widget_set_sensitive(button, sensitive);
    }
}

void set_speed_label(const char* text) {
    if (g_page.speed_label)
        set_label_text(g_page.speed_label, text);
}

GtkWidget* config_choice_box(ChoiceField field) {
    return g_page.choice_boxes[field];
}
GtkWidget* config_manufacturer_list() {
    return g_page.manufacturer_list;
}
GtkWidget* config_model_list() {
    return g_page.model_list;
}
GtkWidget* config_level_entry() {
    return g_page.level_entry;
}
GtkWidget* config_save_button() {
    return g_page.save_button;
}
GtkWidget* status_indicator_button(int index) {
    return g_page.indicators[index];
}
GtkWidget* config_speed_label() {
    return g_page.speed_label;
}
