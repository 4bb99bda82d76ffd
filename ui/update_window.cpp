#include "ui/update_window.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <optional>

#include "ui/ui_text.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "platform/installer_file.h"
#include "platform/processes.h"
#include "update/update_check.h"
#include "ui/program_context.h"

namespace {

class ProgressWindow : public UpdateProgress {
   public:
    ProgressWindow() {
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(window_), lang_text(Text::checking_for_updates));
        gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER_ALWAYS);
        gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
        gtk_window_set_deletable(GTK_WINDOW(window_), FALSE);
        // Modal, so that the menu cannot start a second check while this one pumps events.
        gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
        g_signal_connect(window_, "delete-event", G_CALLBACK(gtk_true), nullptr);
        GtkWidget* box = gtk_vbox_new(FALSE, 0);
        gtk_container_add(GTK_CONTAINER(window_), box);
        bar_ = gtk_progress_bar_new();
        gtk_widget_set_size_request(bar_, 400, 40);
        gtk_box_pack_start(GTK_BOX(box), bar_, FALSE, FALSE, 5);
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), 0.0);
        gtk_widget_show_all(window_);
        gtk_window_present(GTK_WINDOW(window_));
    }
    ~ProgressWindow() override { destroy(); }
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    void destroy() {
        if (window_)
            gtk_widget_destroy(window_);
        window_ = nullptr;
    }

    void show_stage(UpdateStage stage, double fraction) override {
        set_fraction(fraction);
        switch (stage) {
            case UpdateStage::resolving:
                set_text(Text::getting_server_address);
                break;
            case UpdateStage::checking:
                set_text(Text::checking_version);
                break;
            case UpdateStage::downloading:
                set_text(Text::downloading_update);
                gtk_widget_show(window_);
                gtk_window_present(GTK_WINDOW(window_));
                break;
            default:
                break;
        }
        let_update();
    }

    void show_download_part(double fraction) override {
        set_fraction(fraction);
        process_pending_events();
    }

    void keep_responsive() override { process_pending_events(); }

    bool offer_download(const ProgramVersion& version) override {
        gtk_widget_hide(window_);
        char question[512];
        std::snprintf(question, sizeof question, lang_text(Text::version_available), version.major,
                      version.minor, version.patch);
        return ask_question(nullptr, question);
    }

   private:
    void set_fraction(double fraction) {
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(bar_), fraction);
    }
    void set_text(Text entry) {
        gtk_progress_bar_set_text(GTK_PROGRESS_BAR(bar_), lang_text(entry));
    }
    static void let_update() { serve_events_for(10); }

    GtkWidget* window_ = nullptr;
    GtkWidget* bar_ = nullptr;
};

// The system takes over the installer and this copy makes way for it. Returns only when the
// desktop had no handler to start it.
void start_installer(ProgressWindow& window, const std::string& installer) {
    serve_events_for(500);
    show_message(lang_text(Text::installer_starts));
    window.destroy();
    wait_for_message_slot_empty(10);
    if (open_installer(installer))
        exit_program(0);
}

bool g_running = false;

}  // namespace

const char* check_for_update() {
    // A build without an update server has nobody to ask: that is no fault to report.
    const std::optional<UpdateServer> server = configured_update_server();
    if (!program_context().settings.update_check || g_running || !server)
        return nullptr;
    g_running = true;
    const std::string installer = installer_file_path();
    UpdateResult result;
    {
        ProgressWindow window;
        result = run_update_check(*server, installer, window);
        if (result == UpdateResult::downloaded) {
            start_installer(window, installer);
            result = UpdateResult::check_error;
        }
    }
    g_running = false;
    switch (result) {
        case UpdateResult::server_not_found:
            return lang_text(Text::cannot_find_update_server);
        case UpdateResult::cannot_connect:
            return lang_text(Text::cannot_connect_to_server);
        case UpdateResult::check_error:
            return lang_text(Text::update_check_error);
        default:
            return nullptr;
    }
}

void run_requested_update_check() {
    if (!configured_update_server()) {
        show_message(lang_text(Text::no_update_server));
        return;
    }
    const char* text = check_for_update();
    show_message(text ? text : lang_text(Text::latest_version));
}
