#include "ui/remote_window.h"

#include <algorithm>
#include <optional>
#include <string>

#include "ui/ui_text.h"
#include "console/traffic_log.h"
#include "device/device_link.h"
#include "firmware/firmware_image.h"
#include "remote/remote_session.h"
#include "ui/firmware_windows.h"
#include "ui/main_window.h"
#include "ui/widget_kit.h"
#include "ui/program_context.h"

namespace {

// The window's fixed size, enough for every language's texts of a connection.
constexpr int kColumnWidth = 500;
constexpr int kColumnHeight = 160;
constexpr int kMargin = 10;

RemoteWidgets g_widgets;
// The link the relay works on: the connection's, handed in when the window opens.
DeviceLink* g_remote_link = nullptr;

void on_connect_clicked(GtkWidget* toggle, gpointer);

DeviceLink& link() {
    return *g_remote_link;
}

// Changes the toggle without running its handler: only the user's press logs in or out.
void set_toggle_pressed(bool pressed) {
    GtkWidget* toggle = g_widgets.toggle;
    if (!toggle)
        return;
    g_signal_handlers_block_by_func(toggle, reinterpret_cast<gpointer>(on_connect_clicked),
                                    nullptr);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(toggle), pressed);
    g_signal_handlers_unblock_by_func(toggle, reinterpret_cast<gpointer>(on_connect_clicked),
                                      nullptr);
}

void set_toggle_look(const char* text, bool red_when_pressed, bool red_on_hover) {
    GtkWidget* toggle = g_widgets.toggle;
    if (!toggle)
        return;
    gtk_button_set_label(GTK_BUTTON(toggle), text);
    gtk_widget_modify_bg(toggle, GTK_STATE_ACTIVE, red_when_pressed ? &kPureRed : nullptr);
    gtk_widget_modify_bg(toggle, GTK_STATE_PRELIGHT, red_on_hover ? &kPureRed : nullptr);
}

void set_status(const std::string& text) {
    if (g_widgets.status_label)
        set_label_text(g_widgets.status_label, text.c_str());
}

// The window after a session ended: released toggle, empty labels.
void show_not_connected() {
    set_toggle_pressed(false);
    set_toggle_look(lang_text(Text::connect), true, false);
    if (g_widgets.connection_label)
        set_label_text(g_widgets.connection_label, "");
    set_status("");
}

// A build without a remote-access server: nothing to connect to, and the window says how to
// name one instead of failing to resolve an empty name.
void show_no_server() {
    set_toggle_pressed(false);
    if (!g_widgets.window)
        return;
    gtk_widget_set_sensitive(g_widgets.toggle, FALSE);
    gtk_widget_hide(g_widgets.reconnect);
    set_status(lang_text(Text::no_remote_server));
    // The text is longer than a connection's: the window grows to hold it, with the same
    // margin on the right as on the left.
    GtkWidget* column = gtk_bin_get_child(GTK_BIN(g_widgets.window));
    gtk_widget_set_size_request(column, -1, -1);
    GtkRequisition natural{};
    gtk_widget_size_request(column, &natural);
    gtk_widget_set_size_request(column, std::max(natural.width + kMargin, kColumnWidth),
                                std::max(natural.height, kColumnHeight));
}

Text login_failure_text(LoginResult result) {
    switch (result) {
        case LoginResult::password_too_long:
            return Text::password_too_long;
        case LoginResult::cannot_resolve:
            return Text::cannot_resolve_server;
        case LoginResult::login_failed:
            return Text::login_failed;
        default:
            return Text::cannot_connect_to_server;
    }
}

void log_in_now() {
    RemoteSession& session = program_context().remote;
    const char* password =
        g_widgets.password ? gtk_entry_get_text(GTK_ENTRY(g_widgets.password)) : "";
    const std::optional<RemoteServer> server = configured_remote_server();
    if (!server) {
        show_no_server();
        return;
    }
    const LoginResult result = log_in(session, *server, password, [] { process_pending_events(); });
    // Disconnect pressed or the window closed while the name was looked up: already shown.
    if (result == LoginResult::abandoned)
        return;
    if (result == LoginResult::logged_in) {
        // Every connection starts without a device until the server asks for one.
        link().close();
        if (g_widgets.connection_label)
            set_label_text(g_widgets.connection_label, lang_text(Text::connected_to_server));
        set_toggle_look(lang_text(Text::disconnect), true, true);
        return;
    }
    end_remote_session(true);
    // Only an automatic attempt that failed before it had a socket leaves the countdown at 0:
    // those failures stay silent, every other one is shown.
    if (session.reconnect_countdown != 0)
        show_message(lang_text(login_failure_text(result)));
    session.reconnect_countdown = kReconnectSteps;
}

void on_connect_clicked(GtkWidget* toggle, gpointer) {
    if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(toggle))) {
        log_in_now();
        return;
    }
    end_remote_session(true);
    program_context().remote.parser.reset();
}

gboolean on_delete(GtkWidget*, GdkEvent*, gpointer) {
    return close_remote_window() ? TRUE : FALSE;
}

class WindowRemoteHost : public RemoteHost {
   public:
    void show_status(const std::string& text) override { set_status(text); }
    void show_message(const std::string& text) override { ::show_message(text.c_str()); }
    void pause(int milliseconds) override { serve_events_for(milliseconds); }
    void process_events() override { process_pending_events(); }
    void session_ended() override { show_not_connected(); }
    bool reconnect_wanted() override {
        return g_widgets.reconnect &&
               gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(g_widgets.reconnect));
    }
    void reconnect() override {
        set_toggle_pressed(true);
        log_in_now();
    }
    int language() const override { return program_context().language; }
};

GtkWidget* left_aligned_label() {
    GtkWidget* label = make_label("");
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0.5);
    return label;
}

void build_window() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), lang_text(Text::remote_access));
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    GtkWidget* column = gtk_vbox_new(FALSE, 0);
    gtk_widget_set_size_request(column, kColumnWidth, kColumnHeight);
    gtk_widget_show(column);
    gtk_container_add(GTK_CONTAINER(window), column);
    add_spacer(column, 10, 10);

    GtkWidget* password_row = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(password_row);
    add_spacer(password_row, 10, 10);
    gtk_box_pack_start(GTK_BOX(password_row), make_label(lang_text(Text::password)), FALSE, FALSE,
                       0);
    add_spacer(password_row, 10, 10);
    GtkEntryBuffer* buffer = gtk_entry_buffer_new(nullptr, -1);
    GtkWidget* password = gtk_entry_new_with_buffer(buffer);
    g_object_unref(buffer);
    gtk_widget_set_size_request(password, 300, 30);
    gtk_widget_show(password);
    gtk_box_pack_start(GTK_BOX(password_row), password, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), password_row, FALSE, FALSE, 0);
    add_spacer(column, 10, 10);

    GtkWidget* connect_row = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(connect_row);
    add_spacer(connect_row, 10, 10);
    GtkWidget* toggle = gtk_toggle_button_new_with_label(lang_text(Text::connect));
    gtk_widget_set_size_request(toggle, 100, 100);
    gtk_widget_show(toggle);
    gtk_box_pack_start(GTK_BOX(connect_row), toggle, FALSE, FALSE, 0);
    add_spacer(connect_row, 10, 10);
    GtkWidget* labels = gtk_vbox_new(FALSE, 0);
    gtk_widget_show(labels);
    GtkWidget* connection_label = left_aligned_label();
    gtk_box_pack_start(GTK_BOX(labels), connection_label, FALSE, FALSE, 0);
    add_spacer(labels, 10, 10);
    GtkWidget* status_label = left_aligned_label();
    gtk_box_pack_start(GTK_BOX(labels), status_label, FALSE, FALSE, 0);
    add_spacer(labels, 10, 30);
    GtkWidget* reconnect = make_check_button(lang_text(Text::reconnect_after_disconnect));
    gtk_box_pack_start(GTK_BOX(labels), reconnect, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(connect_row), labels, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(column), connect_row, FALSE, FALSE, 0);
    add_spacer(column, 10, 10);

    g_widgets = {window, password, toggle, connection_label, status_label, reconnect};
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete), nullptr);
    g_signal_connect(toggle, "clicked", G_CALLBACK(on_connect_clicked), nullptr);
}

}  // namespace

void open_remote_window(DeviceLink& device_link) {
    // The session takes the link over; it waits until an exchange in progress has ended.
    if (g_widgets.window || device_link.busy())
        return;
    g_remote_link = &device_link;
    close_side_windows(false);
    link().close();
    program_context().traffic.clear();
    program_context().traffic.stop_file();
    build_window();
    if (!configured_remote_server())
        show_no_server();
    // The server receives every frame of the device, log lines included.
    link().set_return_log_lines(true);
    program_context().remote_access_active = true;
    if (GtkWidget* main = main_window())
        gtk_widget_hide(main);
    gtk_widget_show(g_widgets.window);
}

void end_remote_session(bool by_user) {
    finish_session(program_context().remote, link(), by_user);
    show_not_connected();
}

bool close_remote_window() {
    if (!g_widgets.window)
        return true;
    end_remote_session(true);
    GtkWidget* window = g_widgets.window;
    g_widgets = {};
    gtk_widget_destroy(window);
    if (GtkWidget* main = main_window())
        gtk_widget_show(main);
    program_context().remote_access_active = false;
    link().close();
    link().set_return_log_lines(false);
    return true;
}

void run_relay_step() {
    WindowRemoteHost host;
    relay_step(program_context().remote, link(), program_context().firmware_image, host);
}

const RemoteWidgets& remote_widgets() {
    return g_widgets;
}
