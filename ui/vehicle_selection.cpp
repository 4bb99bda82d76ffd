#include "ui/vehicle_selection.h"

#include <string>
#include <utility>

#include "ui/ui_text.h"
#include "ui/widget_kit.h"
#include "ui/program_context.h"

namespace {

// The model list never holds more entries than this; the largest manufacturer has 75 rows.
constexpr std::size_t kModelRowMapRoom = 512;
constexpr Text kYearWordEntry = Text::year;

struct VehicleSelection {
    GtkComboBox* manufacturer_list = nullptr;
    GtkComboBox* model_list = nullptr;
    GtkEntry* level_entry = nullptr;
    PangoFontDescription* list_font = nullptr;
    std::vector<int> row_map;
    int32_t current_level = 0;
    bool update_entry = true;
    bool page_built = false;
    // Our signal connections, so that detaching leaves the widgets without them.
    std::vector<std::pair<GObject*, gulong>> connections;
};

VehicleSelection g_selection;

void clear_list(GtkComboBox* list) {
    GtkTreeModel* model = gtk_combo_box_get_model(list);
    if (GTK_IS_LIST_STORE(model))
        gtk_list_store_clear(GTK_LIST_STORE(model));
}

void append_text(GtkComboBox* list, const char* text) {
    GtkTreeModel* model = gtk_combo_box_get_model(list);
    if (!GTK_IS_LIST_STORE(model))
        return;
    gtk_list_store_insert_with_values(GTK_LIST_STORE(model), nullptr, -1, 0, text, -1);
}

// The model row behind the lists' selections, or null when either has none.
const VehicleRow* selected_row() {
    const VehicleSelection& s = g_selection;
    if (!s.manufacturer_list || !s.model_list)
        return nullptr;
    const int manufacturer = gtk_combo_box_get_active(s.manufacturer_list);
    const int position = gtk_combo_box_get_active(s.model_list);
    if (manufacturer < 0 || manufacturer >= kManufacturerCount || position < 0 ||
        position >= static_cast<int>(s.row_map.size())) {
        return nullptr;
    }
    return &VehicleTable[manufacturer].rows[s.row_map[position]];
}

void set_entry_level(int32_t level) {
    if (g_selection.level_entry) {
        gtk_entry_set_text(g_selection.level_entry, std::to_string(level).c_str());
    }
}

void on_manufacturer_signal(GtkComboBox*, gpointer) {
    fill_model_list();
}

void on_model_signal(GtkComboBox*, gpointer) {
    on_model_list_changed();
}

void on_widget_destroyed(GtkWidget*, gpointer) {
    detach_vehicle_widgets();
}

void connect(gpointer widget, const char* signal, GCallback handler) {
    const gulong id = g_signal_connect(widget, signal, handler, nullptr);
    g_selection.connections.emplace_back(G_OBJECT(widget), id);
}

}  // namespace

void attach_vehicle_widgets(GtkComboBox* manufacturer_list, GtkComboBox* model_list,
                            GtkEntry* level_entry, PangoFontDescription* list_font) {
    detach_vehicle_widgets();
    VehicleSelection& s = g_selection;
    s.manufacturer_list = manufacturer_list;
    s.model_list = model_list;
    s.level_entry = level_entry;
    s.list_font = list_font;

    clear_list(manufacturer_list);
    for (int m = 0; m < kManufacturerCount; ++m)
        append_text(manufacturer_list, VehicleTable[m].name);
    gtk_combo_box_set_active(manufacturer_list, 0);

    connect(manufacturer_list, "changed", G_CALLBACK(on_manufacturer_signal));
    connect(model_list, "changed", G_CALLBACK(on_model_signal));
    connect(manufacturer_list, "destroy", G_CALLBACK(on_widget_destroyed));
    connect(model_list, "destroy", G_CALLBACK(on_widget_destroyed));
    connect(level_entry, "destroy", G_CALLBACK(on_widget_destroyed));
    s.page_built = true;
}

void detach_vehicle_widgets() {
    VehicleSelection& s = g_selection;
    // Taken out first: disconnecting must not find itself re-entered through "destroy".
    std::vector<std::pair<GObject*, gulong>> connections = std::move(s.connections);
    s.connections.clear();
    for (const auto& [object, id] : connections) {
        if (g_signal_handler_is_connected(object, id))
            g_signal_handler_disconnect(object, id);
    }
    s = VehicleSelection{};
}

void fill_model_list() {
    VehicleSelection& s = g_selection;
    if (!s.manufacturer_list || !s.model_list)
        return;
    const int manufacturer = gtk_combo_box_get_active(s.manufacturer_list);
    if (manufacturer < 0 || manufacturer >= kManufacturerCount)
        return;

    // The map empties before the list does: clearing the list reports the lost selection,
    // and the model handler must not read a stale map then.
    s.row_map.clear();
    clear_list(s.model_list);
    const int language = program_context().language;
    const char* year_word = lang_text(kYearWordEntry);
    for (const int row : visible_rows(manufacturer, program_context().firmware_number)) {
        if (s.row_map.size() == kModelRowMapRoom)
            break;
        const std::string label =
            vehicle_row_label(VehicleTable[manufacturer].rows[row], language, year_word);
        append_text(s.model_list, label.c_str());
        s.row_map.push_back(row);
    }
    // The list was just emptied, so selecting the first entry always reports a change and
    // the model handler runs through the signal.
    if (!s.row_map.empty())
        gtk_combo_box_set_active(s.model_list, 0);
    if (s.list_font)
        apply_font_to_children(GTK_WIDGET(s.model_list), s.list_font);
}

void on_model_list_changed() {
    const VehicleRow* row = selected_row();
    if (!row)
        return;
    g_selection.current_level = row->level;
    // The entry handler that runs now finds the text equal to current_level and leaves the
    // selection alone.
    if (g_selection.update_entry)
        set_entry_level(row->level);
}

void select_vehicle(int32_t level, int32_t car_number, bool update_entry) {
    VehicleSelection& s = g_selection;
    if (s.page_built) {
        const VehicleRef found = find_vehicle(level, car_number, program_context().firmware_number);
        s.update_entry = update_entry;
        const int before = gtk_combo_box_get_active(s.manufacturer_list);
        // A change of manufacturer refills the model list through its handler.
        gtk_combo_box_set_active(s.manufacturer_list, found.found() ? found.manufacturer : -1);
        if (!found.found()) {
            s.row_map.clear();
            clear_list(s.model_list);
        } else {
            if (before == found.manufacturer)
                fill_model_list();
            int position = 0;
            while (position < static_cast<int>(s.row_map.size()) &&
                   s.row_map[position] != found.row) {
                ++position;
            }
            set_active_and_notify(s.model_list, position);
        }
    }
    s.current_level = level;
    if (update_entry)
        set_entry_level(level);
    s.update_entry = true;
}

int32_t selected_car_number() {
    if (!g_selection.page_built)
        return 0;
    const VehicleRow* row = selected_row();
    return row ? row->car_number : 0;
}

void follow_level_entry_text(const char* text) {
    const int32_t typed = leading_level_value(text);
    if (g_selection.page_built && typed != g_selection.current_level) {
        select_vehicle(typed, 0, false);
    }
}

const std::vector<int>& model_row_map() {
    return g_selection.row_map;
}

int32_t current_level() {
    return g_selection.current_level;
}

bool update_entry_flag() {
    return g_selection.update_entry;
}

bool page_built() {
    return g_selection.page_built;
}
