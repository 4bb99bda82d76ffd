#include "ui/menu_bar.h"

#include "ui/ui_text.h"
#include "app/language_choice.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "ui/cfg_file_menu.h"
#include "ui/themes_menu.h"
#include "ui/update_window.h"
#include "ui/firmware_windows.h"
#include "ui/remote_window.h"
#include "ui/history_window.h"
#include "app/history_text.h"
#include "ui/program_context.h"

namespace {

GtkWidget* g_update_preference_label = nullptr;
// The items that would start an exchange with the device (or take the link away).
GtkWidget* g_firmware_item = nullptr;
GtkWidget* g_remote_item = nullptr;

void keep_weakly(GtkWidget*& slot, GtkWidget* widget) {
    slot = widget;
    g_object_add_weak_pointer(G_OBJECT(widget), reinterpret_cast<gpointer*>(&slot));
}

void on_firmware_update(GtkWidget*, gpointer link) {
    flash_firmware(*static_cast<DeviceLink*>(link), FlashMode::from_application);
}

void on_update_preference(GtkWidget*, gpointer) {
    toggle_update_check_preference();
}
void on_load_config_file(GtkWidget*, gpointer) {
    load_config_file();
}
void on_save_config_file(GtkWidget*, gpointer) {
    save_config_file();
}

void on_configuration_history(GtkWidget*, gpointer) {
    open_history_window();
}

void on_remote_access(GtkWidget*, gpointer link) {
    open_remote_window(*static_cast<DeviceLink*>(link));
}

void on_language(GtkWidget*, gpointer code) {
    switch_language(program_context().start, program_context().language,
                    static_cast<const char*>(code));
}

GtkWidget* append_item(GtkWidget* menu, const char* text, GCallback handler, gpointer data) {
    GtkWidget* item = make_menu_item(text);
    g_signal_connect(item, "activate", handler, data);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    return item;
}

GtkWidget* make_submenu_item(const char* text, GtkWidget* menu) {
    GtkWidget* item = make_menu_item(text);
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(item), menu);
    return item;
}

}  // namespace

const char* update_preference_label(uint8_t preference) {
    return lang_text(preference ? Text::no_update_check_at_startup
                                : Text::check_updates_at_startup);
}

GtkWidget* update_preference_label_widget() {
    return g_update_preference_label;
}

void toggle_update_check_preference() {
    UserSettings& settings = program_context().settings;
    settings.update_check = settings.update_check ? 0 : 1;
    save_user_settings(program_context().settings);
    if (g_update_preference_label) {
        gtk_label_set_text(GTK_LABEL(g_update_preference_label),
                           update_preference_label(settings.update_check));
    }
    // Switching the check on runs it at once; switching it off only relabels.
    if (settings.update_check)
        run_requested_update_check();
}

void set_device_menu_items_sensitive(bool sensitive) {
    for (GtkWidget* item : {g_firmware_item, g_remote_item}) {
        if (item)
            gtk_widget_set_sensitive(item, sensitive);
    }
}

void build_menu_bar(GtkWidget* box, DeviceLink& link) {
    GtkWidget* bar = gtk_menu_bar_new();
    gtk_widget_show(bar);
    gtk_box_pack_start(GTK_BOX(box), bar, FALSE, FALSE, 0);

    GtkWidget* tools = gtk_menu_new();
    keep_weakly(g_firmware_item, append_item(tools, lang_text(Text::firmware_update),
                                             G_CALLBACK(on_firmware_update), &link));
    GtkWidget* preference =
        append_item(tools, update_preference_label(program_context().settings.update_check),
                    G_CALLBACK(on_update_preference), nullptr);
    g_update_preference_label = gtk_bin_get_child(GTK_BIN(preference));
    append_item(tools, lang_text(Text::load_config_from_file), G_CALLBACK(on_load_config_file),
                nullptr);
    append_item(tools, lang_text(Text::save_config_to_file), G_CALLBACK(on_save_config_file),
                nullptr);
    append_item(tools, history_text(HistoryText::menu_item), G_CALLBACK(on_configuration_history),
                nullptr);
    keep_weakly(g_remote_item, append_item(tools, lang_text(Text::enable_remote_access),
                                           G_CALLBACK(on_remote_access), &link));
    gtk_menu_shell_append(GTK_MENU_SHELL(bar), make_submenu_item(lang_text(Text::tools), tools));

    GtkWidget* languages = gtk_menu_new();
    for (const LanguageRow& row : LanguageList) {
        if (!row.code[0])
            break;
        append_item(languages, row.menu_label, G_CALLBACK(on_language),
                    const_cast<char*>(row.code));
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(bar),
                          make_submenu_item(lang_text(Text::language), languages));

    if (GtkWidget* themes = build_themes_menu())
        gtk_menu_shell_append(GTK_MENU_SHELL(bar), themes);
}
