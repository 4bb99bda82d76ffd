#include "ui/themes_menu.h"

#include <vector>

#include "ui/ui_text.h"
#include "app/language_choice.h"
#include "app/themes.h"
#include "ui/widget_kit.h"
#include "platform/program_file.h"
#include "ui/program_context.h"

namespace {

// The file actually running: the first argument lacks its folder when started through PATH.
std::string running_program_file() {
    const std::string file = own_program_file();
    return file.empty() ? program_context().start.program_path : file;
}

}  // namespace

GtkWidget* build_themes_menu_from(const std::string& folder) {
    std::vector<std::string> names;
    if (!list_theme_names(folder, names))
        return nullptr;
    GtkWidget* menu = gtk_menu_new();
    for (const std::string& name : names) {
        GtkWidget* item = make_menu_item(name.c_str());
        g_signal_connect(item, "activate", G_CALLBACK(apply_theme), nullptr);
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    }
    GtkWidget* themes = make_menu_item(lang_text(Text::themes));
    gtk_menu_item_set_submenu(GTK_MENU_ITEM(themes), menu);
    return themes;
}

GtkWidget* build_themes_menu() {
    return build_themes_menu_from(theme_folder(running_program_file()));
}

void apply_theme(GtkMenuItem* item, gpointer) {
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
    const std::string theme = GTK_IS_LABEL(label) ? gtk_label_get_text(GTK_LABEL(label)) : "";
    // Not written: the new copy starts with the previous look, which is all that can be done.
    write_theme_settings(theme);
    restart_program(program_context().start, nullptr);
}

void use_themes_beside_program() {
    const std::string file = running_program_file();
    std::vector<std::string> names;
    if (!list_theme_names(theme_folder(file), names))
        return;
    g_setenv("GTK_DATA_PREFIX", program_prefix(file).c_str(), FALSE);
}
