#include "ui/history_window.h"

#include <vector>

#include "app/history_text.h"
#include "ui/ui_text.h"
#include "config/cfg_file.h"
#include "config/config_history.h"
#include "platform/files.h"
#include "ui/cfg_file_menu.h"
#include "ui/history_keeper.h"
#include "ui/main_window.h"
#include "ui/widget_kit.h"

namespace {

enum Column { kTimeColumn, kVehicleColumn, kLevelColumn, kFirmwareColumn, kColumnCount };

struct HistoryWindow {
    GtkWidget* window = nullptr;
    GtkWidget* list = nullptr;
    std::vector<ConfigHistoryEntry> entries;  // in the list's order
};
HistoryWindow g_history;

// The chosen row; -1 when none is selected.
int selected_row() {
    GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(g_history.list));
    GtkTreeModel* model = nullptr;
    GtkTreeIter iter;
    if (!gtk_tree_selection_get_selected(selection, &model, &iter))
        return -1;
    GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
    const int row = gtk_tree_path_get_indices(path)[0];
    gtk_tree_path_free(path);
    return row;
}

std::string choose_save_name() {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        history_text(HistoryText::save_as_file), GTK_WINDOW(g_history.window),
        GTK_FILE_CHOOSER_ACTION_SAVE, lang_text(Text::cancel), GTK_RESPONSE_CANCEL,
        lang_text(Text::save_button), GTK_RESPONSE_ACCEPT, nullptr);
    gtk_file_chooser_set_do_overwrite_confirmation(GTK_FILE_CHOOSER(dialog), TRUE);
    std::string name;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            name = chosen;
            g_free(chosen);
        }
    }
    gtk_widget_destroy(dialog);
    return name;
}

void on_load_clicked(GtkButton*, gpointer) {
    const int row = selected_row();
    if (row >= 0)
        load_history_row_into_page(row);
}

void on_save_clicked(GtkButton*, gpointer) {
    const int row = selected_row();
    if (row < 0)
        return;
    const std::string name = choose_save_name();
    if (!name.empty())
        save_history_row_as(row, name);
}

void on_close_clicked(GtkButton*, gpointer) {
    close_history_window();
}

gboolean on_delete_event(GtkWidget*, GdkEvent*, gpointer) {
    close_history_window();
    return TRUE;
}

GtkWidget* make_list() {
    GtkListStore* store = gtk_list_store_new(kColumnCount, G_TYPE_STRING, G_TYPE_STRING,
                                             G_TYPE_STRING, G_TYPE_STRING);
    for (const ConfigHistoryEntry& entry : g_history.entries) {
        GtkTreeIter iter;
        gtk_list_store_append(store, &iter);
        const std::string level = std::to_string(entry.record.can_level);
        const std::string firmware =
            "QN" + std::to_string(entry.device_type) + "-" + entry.firmware;
        gtk_list_store_set(store, &iter, kTimeColumn, entry.time.c_str(), kVehicleColumn,
                           entry.vehicle.c_str(), kLevelColumn, level.c_str(), kFirmwareColumn,
                           firmware.c_str(), -1);
    }
    GtkWidget* list = gtk_tree_view_new_with_model(GTK_TREE_MODEL(store));
    g_object_unref(store);  // the view holds it from here on
    const HistoryText titles[kColumnCount] = {HistoryText::column_time, HistoryText::column_vehicle,
                                              HistoryText::column_level,
                                              HistoryText::column_firmware};
    for (int column = 0; column < kColumnCount; ++column) {
        GtkCellRenderer* renderer = gtk_cell_renderer_text_new();
        GtkTreeViewColumn* shown = gtk_tree_view_column_new_with_attributes(
            history_text(titles[column]), renderer, "text", column, nullptr);
        // A long vehicle name is shortened rather than pushing the firmware out of sight.
        if (column == kVehicleColumn) {
            g_object_set(renderer, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
            gtk_tree_view_column_set_expand(shown, TRUE);
            gtk_tree_view_column_set_resizable(shown, TRUE);
        }
        gtk_tree_view_append_column(GTK_TREE_VIEW(list), shown);
    }
    if (!g_history.entries.empty()) {
        GtkTreePath* first = gtk_tree_path_new_first();
        gtk_tree_selection_select_path(gtk_tree_view_get_selection(GTK_TREE_VIEW(list)), first);
        gtk_tree_path_free(first);
    }
    gtk_widget_show(list);
    return list;
}

GtkWidget* add_button(GtkWidget* row, HistoryText text, GCallback handler) {
    GtkWidget* button = make_button(history_text(text));
    g_signal_connect(button, "clicked", handler, nullptr);
    gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 5);
    return button;
}

void build_window() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_history.window = window;
    gtk_window_set_title(GTK_WINDOW(window), history_text(HistoryText::window_title));
    gtk_window_set_default_size(GTK_WINDOW(window), 720, 400);
    if (GtkWidget* parent = main_window())
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(parent));
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete_event), nullptr);

    GtkWidget* column = gtk_vbox_new(FALSE, 5);
    gtk_container_set_border_width(GTK_CONTAINER(column), 8);
    gtk_container_add(GTK_CONTAINER(window), column);

    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_NEVER,
                                   GTK_POLICY_AUTOMATIC);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scrolled), GTK_SHADOW_IN);
    g_history.list = make_list();
    gtk_container_add(GTK_CONTAINER(scrolled), g_history.list);
    gtk_box_pack_start(GTK_BOX(column), scrolled, TRUE, TRUE, 0);
    if (g_history.entries.empty())
        gtk_box_pack_start(GTK_BOX(column), make_label(history_text(HistoryText::no_entries)),
                           FALSE, FALSE, 0);

    GtkWidget* buttons = gtk_hbox_new(FALSE, 0);
    add_button(buttons, HistoryText::load_into_page, G_CALLBACK(on_load_clicked));
    add_button(buttons, HistoryText::save_as_file, G_CALLBACK(on_save_clicked));
    GtkWidget* close = make_button(history_text(HistoryText::close));
    g_signal_connect(close, "clicked", G_CALLBACK(on_close_clicked), nullptr);
    gtk_box_pack_end(GTK_BOX(buttons), close, FALSE, FALSE, 5);
    gtk_box_pack_start(GTK_BOX(column), buttons, FALSE, FALSE, 0);
    gtk_widget_show_all(window);
}

}  // namespace

void open_history_window() {
    close_history_window();
    ConfigHistoryListing listing = list_history(history_folder());
    g_history.entries = std::move(listing.entries);
    build_window();
    if (!listing.skipped.empty()) {
        std::string text;
        for (const std::string& path : listing.skipped)
            text += (text.empty() ? "" : "\n") +
                    with_subject(history_text(HistoryText::skipped_entry), path);
        show_message(text.c_str());
    }
}

void close_history_window() {
    if (g_history.window)
        gtk_widget_destroy(g_history.window);
    g_history = HistoryWindow{};
}

GtkWidget* history_window() {
    return g_history.window;
}

GtkTreeView* history_list() {
    return g_history.list ? GTK_TREE_VIEW(g_history.list) : nullptr;
}

void load_history_row_into_page(int row) {
    if (row < 0 || row >= static_cast<int>(g_history.entries.size()))
        return;
    // Exactly as a .cfg file loads: the red marks show what differs from the reference, and
    // "Save" writes it.
    load_config_file_from(g_history.entries[row].path);
}

void save_history_row_as(int row, const std::string& file) {
    if (row < 0 || row >= static_cast<int>(g_history.entries.size()))
        return;
    if (write_file_whole(history_entry_text(g_history.entries[row]), with_config_extension(file)))
        show_message(lang_text(Text::config_saved));
}
