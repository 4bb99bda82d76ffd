#include "ui/autoflash_window.h"

#include <gtk/gtk.h>

#include "ui/ui_text.h"
#include "ui/status_labels.h"
#include "app/user_settings.h"
#include "device/device_link.h"
#include "firmware/autoflash.h"
#include "ui/firmware_windows.h"
#include "ui/program_context.h"

namespace {

constexpr Text kOpenButton = Text::open;
constexpr Text kCancelButton = Text::cancel;
// The same in every language.
constexpr char kChooseFolderTitle[] = "Wybierz katalog";
constexpr char kModeLabel[] = "AUTOFLASH";

AutoflashWatch g_watch;

}  // namespace

bool choose_autoflash_folder() {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        kChooseFolderTitle, nullptr, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
        lang_text(kCancelButton), GTK_RESPONSE_CANCEL, lang_text(kOpenButton), GTK_RESPONSE_ACCEPT,
        nullptr);
    bool accepted = false;
    if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
        // The folder selected in the list, or the one being shown when none is selected.
        gchar* folder = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog));
        if (!folder)
            folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
        if (folder) {
            accepted = true;
            g_watch.folder = folder;
            program_context().settings.last_firmware_folder = folder;
            g_free(folder);
        }
    }
    gtk_widget_destroy(dialog);
    if (accepted) {
        save_user_settings(program_context().settings);
        set_mode_label(kModeLabel);
    }
    return true;
}

void run_autoflash_step(DeviceLink& link) {
    static PlatformFolder folder;
    if (g_watch.folder.empty() || !link.is_open())
        return;
    autoflash_step(g_watch, folder, [&link](const std::string& file) {
        return flash_firmware(link, FlashMode::automatic, file);
    });
}

const std::string& autoflash_folder() {
    return g_watch.folder;
}
