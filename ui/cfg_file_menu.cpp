#include "ui/cfg_file_menu.h"

#include <gtk/gtk.h>

#include "ui/ui_text.h"
#include "ui/main_window.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "config/cfg_file.h"
#include "ui/config_page.h"
#include "platform/files.h"
#include "ui/program_context.h"

namespace {

// The message texts carry one "%s" for the file name; a translation without it shows as is.
std::string with_file_name(const char* format, const std::string& name) {
    std::string text = format;
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

// Runs a chooser; on "accept" remembers its folder in the user settings and returns the chosen
// file name, otherwise an empty text.
std::string choose_file(GtkFileChooserAction action, Text title, Text accept_button) {
    GtkWidget* parent = main_window();
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        lang_text(title), parent ? GTK_WINDOW(parent) : nullptr, action, lang_text(Text::cancel),
        GTK_RESPONSE_CANCEL, lang_text(accept_button), GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileFilter* filter = gtk_file_filter_new();
    // File names on Windows match without regard to case; keep ".CFG" files visible here too.
    gtk_file_filter_add_pattern(filter, "*.[cC][fF][gG]");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
    const std::string& folder = program_context().settings.last_config_folder;
    if (!folder.empty()) {
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());
    }

    std::string name;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        if (gchar* current = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog))) {
            program_context().settings.last_config_folder = current;
            g_free(current);
        }
        save_user_settings(program_context().settings);
        if (gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            name = chosen;
            g_free(chosen);
        }
    }
    gtk_widget_destroy(dialog);
    return name;
}

// The page the commands work on; without one the user hears that no device is there.
bool page_or_refusal() {
    const bool exists = config_page_exists();
    if (!exists)
        show_message(lang_text(Text::no_usb_device));
    return exists;
}

}  // namespace

size_t read_file_whole(std::string& out, const std::string& name, size_t max_bytes) {
    if (!read_whole_file(name, max_bytes, out)) {
        show_message(with_file_name(lang_text(Text::error_opening_file), name).c_str());
        return 0;
    }
    return out.size();
}

bool write_file_whole(const std::string& data, const std::string& name) {
    if (write_whole_file(name, data))
        return true;
    show_message(with_file_name(lang_text(Text::error_writing_file), name).c_str());
    return false;
}

void save_config_file() {
    if (!page_or_refusal())
        return;
    const std::string name =
        choose_file(GTK_FILE_CHOOSER_ACTION_SAVE, Text::save_to_disk, Text::save_button);
    if (!name.empty())
        save_config_file_as(name);
}

void load_config_file() {
    if (!page_or_refusal())
        return;
    const std::string name =
        choose_file(GTK_FILE_CHOOSER_ACTION_OPEN, Text::load_from_file, Text::open);
    if (!name.empty())
        load_config_file_from(name);
}

void save_config_file_as(const std::string& name) {
    if (!page_or_refusal())
        return;
    const std::string text = config_page_cfg_text();
    if (write_file_whole(text, with_config_extension(name))) {
        show_message(lang_text(Text::config_saved));
    }
}

void load_config_file_from(const std::string& name) {
    if (!page_or_refusal())
        return;
    std::string data;
    if (read_file_whole(data, name, kConfigFileMaxBytes) == 0)
        return;
    show_message(lang_text(load_cfg_into_config_page(data)));
}
