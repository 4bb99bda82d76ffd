#include "ui/console_window.h"

#include <gdk/gdkkeysyms.h>

#include "ui/ui_text.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "console/command_history.h"
#include "console/console_command.h"
#include "console/traffic_filter.h"
#include "console/traffic_log.h"
#include "ui/filter_window.h"
#include "ui/program_context.h"

namespace {

constexpr Text kConsoleTitle = Text::console;
constexpr Text kCommandLabel = Text::command_hex;
constexpr Text kDataLabel = Text::data;
constexpr Text kSendButton = Text::send;
constexpr Text kOpenErrorMessage = Text::cannot_open_file;
constexpr Text kCancelButton = Text::cancel;
constexpr Text kLogToFile = Text::log_to_file;
constexpr Text kSelectLogFile = Text::select_log_file;
constexpr Text kStopLogging = Text::stop_logging;
constexpr Text kSaveButton = Text::save_button;
constexpr Text kFilterButton = Text::filter;

// Room for the row at its natural width in every language and a few dozen lines of traffic.
constexpr int kDefaultWidth = 900;
constexpr int kDefaultHeight = 500;
constexpr char kEndMark[] = "console-end";

ConsoleWidgets g_console;
// The link the console sends on: the connection's, handed in when the console opens.
DeviceLink* g_console_link = nullptr;

void pack(GtkWidget* box, GtkWidget* child, bool expand = false) {
    gtk_box_pack_start(GTK_BOX(box), child, expand, expand, 1);
}

bool autoscroll_on() {
    return g_console.autoscroll &&
           gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(g_console.autoscroll));
}

// The end mark keeps to the end of the buffer; scrolling to a mark waits until GTK has
// measured the new lines, so no event processing is needed here (this runs inside device
// polls, where handling a click on "Send" would start a second exchange in the middle).
void scroll_to_end() {
    GtkTextMark* end = gtk_text_buffer_get_mark(g_console.buffer, kEndMark);
    gtk_text_view_scroll_to_mark(GTK_TEXT_VIEW(g_console.view), end, 0.0, FALSE, 0.0, 0.0);
}

void set_view_text(const std::string& text) {
    gtk_text_buffer_set_text(g_console.buffer, text.data(), static_cast<gint>(text.size()));
}

// Lines are added as they come; the whole view is built again only when the record lost its
// oldest part or the filter changed.
class ConsoleView : public TrafficView {
   public:
    void traffic_added(std::string_view text) override {
        const std::string shown = visible_added_text(text, program_context().filter);
        if (!shown.empty()) {
            GtkTextIter end;
            gtk_text_buffer_get_end_iter(g_console.buffer, &end);
            gtk_text_buffer_insert(g_console.buffer, &end, shown.data(),
                                   static_cast<gint>(shown.size()));
        }
        if (autoscroll_on())
            scroll_to_end();
    }
    void traffic_shortened() override {
        reload_console_view();
        if (autoscroll_on())
            scroll_to_end();
    }
};
ConsoleView g_view;

std::string entry_text(GtkWidget* entry) {
    return gtk_entry_get_text(GTK_ENTRY(entry));
}

void mark_entry(GtkWidget* entry, bool red) {
    gtk_widget_modify_base(entry, GTK_STATE_NORMAL, red ? &kPureRed : nullptr);
}

void send_from_console() {
    ConsoleRequest request;
    request.command_field = entry_text(g_console.command_entry);
    request.data_field = entry_text(g_console.data_entry);
    request.await_response = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(g_console.response));
    // The window may close during the wait; the fields are held until they are marked.
    GtkWidget* command_entry = g_console.command_entry;
    GtkWidget* data_entry = g_console.data_entry;
    g_object_ref(command_entry);
    g_object_ref(data_entry);
    // Return pressed while another exchange lasts is refused like the greyed Send button.
    const ConsoleSendResult result = console_send(*g_console_link, program_context().history,
                                                  program_context().traffic, request);
    if (!result.refused) {
        mark_entry(command_entry, result.bad_command);
        mark_entry(data_entry, result.data_too_long);
    }
    g_object_unref(command_entry);
    g_object_unref(data_entry);
}

void on_send_clicked(GtkButton*, gpointer) {
    send_from_console();
}

gboolean browse_history(GtkWidget*, GdkEventKey* event, gpointer) {
    if (event->keyval == GDK_Return) {
        send_from_console();
        return TRUE;
    }
    if (event->keyval != GDK_Up && event->keyval != GDK_Down)
        return FALSE;
    const HistoryEntry& shown = program_context().history.browse(
        event->keyval == GDK_Up, entry_text(g_console.command_entry),
        entry_text(g_console.data_entry));
    gtk_entry_set_text(GTK_ENTRY(g_console.command_entry), shown.command.c_str());
    gtk_entry_set_text(GTK_ENTRY(g_console.data_entry), shown.data.c_str());
    return TRUE;
}

// F8 empties the record and the view; the log file keeps what it has.
gboolean clear_console(GtkWidget*, GdkEventKey* event, gpointer) {
    if (event->keyval != GDK_F8)
        return FALSE;
    program_context().traffic.clear();
    set_view_text("");
    return TRUE;
}

gboolean on_delete_event(GtkWidget*, GdkEvent*, gpointer) {
    return close_console();
}

void on_destroyed(GtkWidget* window, gpointer) {
    if (g_console.window == window) {
        program_context().traffic.set_view(nullptr);
        g_console = ConsoleWidgets{};
    }
}

void on_filter_toggled(GtkToggleButton* button, gpointer) {
    filter_button_toggled(gtk_toggle_button_get_active(button),
                          {g_console.window, g_console.filter_button, reload_console_view});
}

void on_log_clicked(GtkButton*, gpointer) {
    toggle_log_file();
}

GtkWidget* log_button_label() {
    return gtk_bin_get_child(GTK_BIN(g_console.log_button));
}

GtkWidget* make_command_entry() {
    GtkEntryBuffer* buffer = gtk_entry_buffer_new(nullptr, -1);
    GtkWidget* entry = gtk_entry_new_with_buffer(buffer);
    g_object_unref(buffer);  // the entry holds it from here on
    g_signal_connect(entry, "key_press_event", G_CALLBACK(browse_history), nullptr);
    gtk_widget_show(entry);
    return entry;
}

GtkWidget* build_command_row() {
    GtkWidget* row = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(row);
    pack(row, make_label(lang_text(kCommandLabel)));
    g_console.command_entry = make_command_entry();
    gtk_widget_set_size_request(g_console.command_entry, 30, 20);
    pack(row, g_console.command_entry);
    pack(row, make_label(lang_text(kDataLabel)));
    g_console.data_entry = make_command_entry();
    pack(row, g_console.data_entry, true);

    g_console.send_button = make_button(lang_text(kSendButton));
    g_signal_connect(g_console.send_button, "clicked", G_CALLBACK(on_send_clicked), nullptr);
    pack(row, g_console.send_button);
    gtk_widget_set_sensitive(g_console.send_button, !g_console_link->busy());
    g_console.autoscroll = make_check_button("Autoscroll");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(g_console.autoscroll), TRUE);
    pack(row, g_console.autoscroll);
    g_console.response = make_check_button("Response");
    pack(row, g_console.response);

    g_console.filter_button = gtk_toggle_button_new();
    gtk_container_add(GTK_CONTAINER(g_console.filter_button), make_label(lang_text(kFilterButton)));
    // The filter outlives the window: a filter left on is shown on, and releasing the button
    // switches it off as usual.
    show_filter_state(g_console.filter_button);
    g_signal_connect(g_console.filter_button, "toggled", G_CALLBACK(on_filter_toggled), nullptr);
    gtk_widget_show(g_console.filter_button);
    pack(row, g_console.filter_button);

    g_console.log_button =
        make_button(lang_text(program_context().traffic.file_open() ? kStopLogging : kLogToFile));
    g_signal_connect(g_console.log_button, "clicked", G_CALLBACK(on_log_clicked), nullptr);
    pack(row, g_console.log_button);
    return row;
}

GtkWidget* build_view() {
    g_console.buffer = gtk_text_buffer_new(nullptr);
    set_view_text(
        filtered_traffic_text(program_context().traffic.text(), program_context().filter));
    GtkTextIter end;
    gtk_text_buffer_get_end_iter(g_console.buffer, &end);
    gtk_text_buffer_create_mark(g_console.buffer, kEndMark, &end, FALSE);
    g_console.view = gtk_text_view_new_with_buffer(g_console.buffer);
    g_object_unref(g_console.buffer);  // the view holds it from here on
    gtk_widget_modify_font(g_console.view, font(kFontCourier10));
    gtk_widget_show(g_console.view);

    GtkWidget* scrolled = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scrolled), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(scrolled), g_console.view);
    gtk_widget_show(scrolled);
    return scrolled;
}

}  // namespace

bool open_console(DeviceLink& link) {
    g_console_link = &link;
    if (g_console.window) {
        gtk_window_present(GTK_WINDOW(g_console.window));
        return true;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_console.window = window;
    gtk_window_set_title(GTK_WINDOW(window), lang_text(kConsoleTitle));
    gtk_window_set_default_size(GTK_WINDOW(window), kDefaultWidth, kDefaultHeight);
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete_event), nullptr);
    g_signal_connect(window, "key_press_event", G_CALLBACK(clear_console), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(on_destroyed), nullptr);
    gtk_widget_show(window);

    GtkWidget* box = gtk_vbox_new(FALSE, 0);
    gtk_container_add(GTK_CONTAINER(window), box);
    gtk_widget_show(box);
    pack(box, build_command_row());
    pack(box, build_view(), true);
    scroll_to_end();
    program_context().traffic.set_view(&g_view);
    return true;
}

void set_console_send_sensitive(bool sensitive) {
    if (g_console.send_button)
        gtk_widget_set_sensitive(g_console.send_button, sensitive);
}

bool close_console() {
    if (!g_console.window)
        return true;
    // The settings window works on the console's "Filter" button; it goes first.
    cancel_filter_settings();
    gtk_widget_destroy(g_console.window);
    return true;
}

void reload_console_view() {
    if (g_console.window)
        set_view_text(
            filtered_traffic_text(program_context().traffic.text(), program_context().filter));
}

bool toggle_log_file() {
    if (program_context().traffic.file_open()) {
        program_context().traffic.stop_file();
        if (g_console.window) {
            set_label_text(log_button_label(), lang_text(kLogToFile));
            gtk_widget_modify_fg(log_button_label(), GTK_STATE_NORMAL, nullptr);
        }
        return true;
    }
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        lang_text(kSelectLogFile), nullptr, GTK_FILE_CHOOSER_ACTION_SAVE, lang_text(kCancelButton),
        GTK_RESPONSE_CANCEL, lang_text(kSaveButton), GTK_RESPONSE_ACCEPT, nullptr);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    const std::string& folder = program_context().settings.last_log_folder;
    if (!folder.empty())
        gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_ACCEPT) {
        gtk_widget_destroy(dialog);
        return true;
    }
    if (gchar* current = gtk_file_chooser_get_current_folder(chooser)) {
        program_context().settings.last_log_folder = current;
        g_free(current);
    }
    save_user_settings(program_context().settings);
    std::string path;
    if (gchar* chosen = gtk_file_chooser_get_filename(chooser)) {
        path = chosen;
        g_free(chosen);
    }
    gtk_widget_destroy(dialog);
    start_log_file(path);
    return true;
}

void start_log_file(const std::string& path) {
    if (path.empty() || !program_context().traffic.start_file(path)) {
        show_message(lang_text(kOpenErrorMessage));
        return;
    }
    if (g_console.window) {
        set_label_text(log_button_label(), lang_text(kStopLogging));
        gtk_widget_modify_fg(log_button_label(), GTK_STATE_NORMAL, &kPureRed);
    }
}

const ConsoleWidgets* console_widgets() {
    return g_console.window ? &g_console : nullptr;
}
