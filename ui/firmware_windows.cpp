#include "ui/firmware_windows.h"

#include "ui/console_window.h"

#include "ui/ui_text.h"
#include "ui/status_labels.h"
#include "app/user_settings.h"
#include "device/device_link.h"
#include "ui/widget_kit.h"
#include "ui/program_context.h"

namespace {

constexpr Text kOpenButton = Text::open;
constexpr Text kCancelButton = Text::cancel;
constexpr Text kSelectFirmwareTitle = Text::select_firmware_file;
constexpr Text kFileCorrupted = Text::file_corrupted;
constexpr Text kWriteError = Text::write_error;
constexpr Text kProgrammed = Text::programmed;
constexpr Text kProgressTitle = Text::loading_firmware;
constexpr Text kNotCompatible = Text::incompatible_hardware;
constexpr Text kOpenError = Text::error_opening_file;
// Not in the text tables: the same in every language.
constexpr char kTooLarge[] = "Firmware too large.";

constexpr int kChooserPauseMs = 30;
constexpr int kMessagePauseMs = 25;  // the wait sleeps twice a round: 50 ms
constexpr int kProgressWidth = 600;
constexpr int kProgressRowHeight = 40;

std::string with_file_name(const char* format, const std::string& name) {
    std::string text = format;
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, name);
    return text;
}

void on_chooser_response(GtkDialog*, gint response, gpointer stored) {
    *static_cast<gint*>(stored) = response;
}

gboolean refuse_delete(GtkWidget*, GdkEvent*, gpointer) {
    return TRUE;
}

class WindowFlashHost : public FlashHost {
   public:
    explicit WindowFlashHost(DeviceLink& link) : link_(link) {}
    ~WindowFlashHost() override { close_progress(); }

    std::string choose_file() override {
        // Windows matches "*.bin" without regard to case; elsewhere ".BIN" files need their own.
        return choose_firmware_file(link_, {"*.bin", "*.BIN"}, lang_text(kSelectFirmwareTitle));
    }
    void file_rejected(FileProblem problem, const std::string& path) override {
        if (problem == FileProblem::cannot_open)
            show_message(with_file_name(lang_text(kOpenError), path).c_str());
        else
            show_message(lang_text(kFileCorrupted));
    }
    void prepare() override {
        set_status_label("");
        close_side_windows(false);
    }
    void open_progress() override { progress_ = open_progress_window(); }
    void set_progress_text(const std::string& text) override {
        if (progress_.bar)
            gtk_progress_bar_set_text(GTK_PROGRESS_BAR(progress_.bar), text.c_str());
    }
    void set_progress_fraction(double fraction) override {
        if (progress_.bar)
            gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress_.bar), fraction);
    }
    void set_progress_label(const std::string& text) override {
        if (progress_.label)
            gtk_label_set_text(GTK_LABEL(progress_.label), text.c_str());
    }
    void clear_firmware_labels() override {
        set_version_label("");
        set_info_label("");
    }
    void process_events() override { process_pending_events(); }
    int language() const override { return program_context().language; }

    void close_progress() {
        if (progress_.window)
            gtk_widget_destroy(progress_.window);
        progress_ = {};
    }

   private:
    DeviceLink& link_;
    ProgressWindow progress_;
};

void show_and_wait(const char* text) {
    show_message(text);
    wait_for_message_slot_empty(kMessagePauseMs);
}

}  // namespace

std::string choose_firmware_file(DeviceLink& link, const std::vector<std::string>& patterns,
                                 const char* title) {
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        title, nullptr, GTK_FILE_CHOOSER_ACTION_OPEN, lang_text(kOpenButton), GTK_RESPONSE_ACCEPT,
        lang_text(kCancelButton), GTK_RESPONSE_CANCEL, nullptr);
    GtkFileFilter* filter = gtk_file_filter_new();
    std::string filter_name;
    for (const std::string& pattern : patterns) {
        gtk_file_filter_add_pattern(filter, pattern.c_str());
        filter_name += (filter_name.empty() ? "" : " ") + pattern;
    }
    gtk_file_filter_set_name(filter, filter_name.c_str());
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), filter);
    const std::string& folder = program_context().settings.last_firmware_folder;
    if (!folder.empty())
        gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(dialog), folder.c_str());

    gint response = GTK_RESPONSE_NONE;
    g_signal_connect(dialog, "response", G_CALLBACK(on_chooser_response), &response);
    gtk_widget_show(dialog);
    while (response == GTK_RESPONSE_NONE) {
        process_pending_events();
        link.drain();
        serve_events_for(kChooserPauseMs);
    }

    std::string name;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
            name = chosen;
            g_free(chosen);
        }
        // A dialog showing "Recently Used" or a typed path has no current folder; the chosen
        // file's folder is the one to open next time then.
        gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
        if (!folder && !name.empty())
            folder = g_path_get_dirname(name.c_str());
        if (folder) {
            program_context().settings.last_firmware_folder = folder;
            g_free(folder);
        }
        save_user_settings(program_context().settings);
    }
    gtk_widget_destroy(dialog);
    return name;
}

ProgressWindow open_progress_window() {
    ProgressWindow progress;
    progress.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(progress.window);
    gtk_container_set_border_width(GTK_CONTAINER(window), 4);
    gtk_window_set_modal(window, TRUE);
    gtk_window_set_title(window, lang_text(kProgressTitle));
    gtk_window_set_position(window, GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_MENU);
    g_signal_connect(progress.window, "delete-event", G_CALLBACK(refuse_delete), nullptr);

    GtkWidget* column = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), column);
    progress.label = gtk_label_new("");
    gtk_misc_set_alignment(GTK_MISC(progress.label), 0.5f, 0.5f);
    gtk_widget_set_size_request(progress.label, kProgressWidth, kProgressRowHeight);
    gtk_box_pack_start(GTK_BOX(column), progress.label, FALSE, FALSE, 5);
    progress.bar = gtk_progress_bar_new();
    gtk_widget_set_size_request(progress.bar, kProgressWidth, kProgressRowHeight);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(progress.bar), 0.0);
    gtk_box_pack_start(GTK_BOX(column), progress.bar, FALSE, FALSE, 5);

    gtk_window_present(window);
    gtk_window_set_deletable(window, FALSE);
    gtk_window_set_resizable(window, FALSE);
    gtk_widget_show_all(progress.window);
    serve_events_for(10);
    return progress;
}

void close_side_windows(bool keep_console) {
    clear_message_slot();
    if (!keep_console)
        close_console();
}

FlashResult flash_firmware(DeviceLink& link, FlashMode mode, const std::string& automatic_file) {
    WindowFlashHost host(link);
    const FlashResult result =
        flash_firmware(link, program_context().firmware_image, mode, host, automatic_file);
    host.close_progress();
    switch (result) {
        case FlashResult::nothing_done:
        case FlashResult::link_busy:  // the item was greyed; a press that got through does nothing
        case FlashResult::file_unusable:
        case FlashResult::file_unreadable:  // the flasher has shown it already
            break;
        case FlashResult::file_corrupted:
            show_message(lang_text(kFileCorrupted));
            break;
        case FlashResult::write_error:
            show_and_wait(lang_text(kWriteError));
            break;
        case FlashResult::firmware_too_large:
            show_and_wait(kTooLarge);
            break;
        case FlashResult::hardware_incompatible:
            show_and_wait(lang_text(kNotCompatible));
            break;
        case FlashResult::programmed:
            show_and_wait(lang_text(kProgrammed));
            break;
    }
    return result;
}
