// The remote-access window driven as a user would, against a loopback server and the
// simulated device: login, the relay in the main loop, the end of a session and reconnection.
#include <cstdlib>

#include "ui/ui_text.h"
#include "gui/connection_fixture.h"
#include "ui/program_context.h"
#include "remote/remote_server.h"
#include "remote/remote_session.h"
#include "support/loopback_relay_peer.h"
#include "ui/remote_window.h"
#include "ui/widget_kit.h"

namespace {

class RemoteWindowTest : public ConnectionTest {
   protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        if (IsSkipped())
            return;
        setenv("QN718_REMOTE_SERVER", peer_.address().c_str(), 1);
    }
    void TearDown() override {
        if (gui_available())
            close_remote_window();
        setenv("QN718_REMOTE_SERVER", "127.0.0.1:1", 1);
        ConnectionTest::TearDown();
    }
    static const RemoteWidgets& w() { return remote_widgets(); }
    static std::string label(GtkWidget* l) { return gtk_label_get_text(GTK_LABEL(l)); }
    static bool pressed() { return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w().toggle)); }
    static std::string toggle_text() { return gtk_button_get_label(GTK_BUTTON(w().toggle)); }
    static void connect_with(const char* password) {
        gtk_entry_set_text(GTK_ENTRY(w().password), password);
        gtk_button_clicked(GTK_BUTTON(w().toggle));
    }
    // Main-loop passes, each a relay step while the window exists.
    std::string passes_then_answer(const std::string& stream, int passes = 3) {
        if (!stream.empty())
            peer_.send(stream);
        for (int i = 0; i < passes; ++i)
            main_loop_pass();
        return peer_.take(20);
    }

    LoopbackRelayPeer peer_;
};

TEST_F(RemoteWindowTest, ALoginHandsTheDeviceToTheServerUntilTheWindowCloses) {
    ASSERT_TRUE(pass_until_state(AppState::connected));
    open_remote_window(connection().link());
    ASSERT_NE(w().window, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w().window)), "Remote access");
    EXPECT_TRUE(program_context().remote_access_active);
    EXPECT_FALSE(gtk_widget_get_visible(main_window()));
    EXPECT_FALSE(connection().link().is_open()) << "the relay starts without the device";
    open_remote_window(connection().link());  // a second time changes nothing

    connect_with("secret");
    ASSERT_TRUE(peer_.wait_for_logins(1));
    EXPECT_EQ(peer_.logins()[0], "secret\n");
    EXPECT_EQ(label(w().connection_label), "Connected to Quarnell server.");
    EXPECT_EQ(toggle_text(), "Disconnect");
    EXPECT_TRUE(pressed());

    EXPECT_EQ(passes_then_answer(""), "");
    EXPECT_EQ(label(w().status_label), "Waiting for remote access.");
    EXPECT_EQ(passes_then_answer("@H"), "@1");
    EXPECT_EQ(label(w().status_label), "Remote access active (M).");
    sim::queue_log_line("log");
    EXPECT_EQ(passes_then_answer("@R").substr(0, 4), "@R" + bytes({5, 0xFF}))
        << "log lines go to the server while it holds the device";

    // The window may go at any time: the server is told, the device released, the main
    // window comes back and the loop searches again.
    gboolean handled = FALSE;
    g_signal_emit_by_name(w().window, "delete-event", nullptr, &handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(w().window, nullptr);
    EXPECT_FALSE(program_context().remote_access_active);
    EXPECT_EQ(peer_.take(50), "@!");
    EXPECT_TRUE(peer_.closed_by_program(50));
    EXPECT_TRUE(gtk_widget_get_visible(main_window()));
    EXPECT_TRUE(pass_until_state(AppState::connected)) << "the main loop finds the device again";
}

TEST_F(RemoteWindowTest, FailedLoginsAndLostServersSayWhyAndRetryOnlyWhenAsked) {
    open_remote_window(connection().link());
    connect_with(std::string(39, 'p').c_str());
    EXPECT_EQ(message_text(), "The password is too long: at most 38 bytes can be sent.");
    EXPECT_FALSE(pressed());
    EXPECT_TRUE(peer_.logins().empty());

    connect_with("wrong");
    ASSERT_TRUE(peer_.wait_for_logins(1));
    EXPECT_EQ(message_text(), "Login failed.");
    EXPECT_FALSE(pressed());
    EXPECT_EQ(toggle_text(), "Connect");
    EXPECT_EQ(program_context().remote.reconnect_countdown, kReconnectSteps);

    // Unchecked, the countdown runs out without an attempt; checked, the 301st pass tries.
    for (int i = 0; i < 301; ++i)
        main_loop_pass();
    EXPECT_EQ(peer_.logins().size(), 1u);
    EXPECT_EQ(program_context().remote.reconnect_countdown, kNoReconnect);

    connect_with("wrong");
    ASSERT_TRUE(peer_.wait_for_logins(2));
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(w().reconnect), TRUE);
    gtk_entry_set_text(GTK_ENTRY(w().password), "secret");
    for (int i = 0; i < 300; ++i)
        main_loop_pass();
    EXPECT_EQ(peer_.logins().size(), 2u);
    main_loop_pass();
    ASSERT_TRUE(peer_.wait_for_logins(3));
    EXPECT_TRUE(pressed());
    EXPECT_EQ(toggle_text(), "Disconnect");
    EXPECT_EQ(passes_then_answer("@H"), "@1");

    // A server that goes away ends the session without a message and is tried again.
    clear_message_slot();
    peer_.close_connection();
    main_loop_pass();
    EXPECT_FALSE(program_context().remote.connected());
    EXPECT_FALSE(pressed());
    EXPECT_EQ(label(w().connection_label), "");
    EXPECT_FALSE(connection().link().is_open());
    EXPECT_EQ(message_text(), "");
    for (int i = 0; i < 301 && peer_.logins().size() < 4; ++i)
        main_loop_pass();
    ASSERT_TRUE(peer_.wait_for_logins(4));
    EXPECT_TRUE(program_context().remote.connected());

    // Disconnect by the user: no reconnection follows.
    gtk_button_clicked(GTK_BUTTON(w().toggle));
    EXPECT_FALSE(program_context().remote.connected());
    EXPECT_EQ(program_context().remote.reconnect_countdown, kNoReconnect);
}

TEST_F(RemoteWindowTest, WithoutAServerTheWindowSaysSoAndNeverTriesOne) {
    unsetenv("QN718_REMOTE_SERVER");
    if (configured_remote_server())
        GTEST_SKIP() << "this build names a remote-access server";
    open_remote_window(connection().link());
    const std::string none = lang_text(Text::no_remote_server);
    EXPECT_EQ(label(w().status_label), none);
    EXPECT_FALSE(gtk_widget_get_sensitive(w().toggle));
    EXPECT_FALSE(gtk_widget_get_visible(w().reconnect)) << "nothing to reconnect to";
    ASSERT_TRUE(run_events_until([] { return gtk_widget_get_mapped(w().status_label); }));
    process_pending_events();
    GtkRequisition text{};
    gtk_widget_size_request(w().status_label, &text);
    GtkAllocation shown{};
    gtk_widget_get_allocation(w().status_label, &shown);
    GtkAllocation window{};
    gtk_widget_get_allocation(w().window, &window);
    EXPECT_LE(shown.x + text.width, window.width) << "the whole text shows";
    EXPECT_LE(shown.y + text.height, window.height);
    connect_with("secret");
    EXPECT_FALSE(pressed());
    EXPECT_EQ(message_text(), "") << "no name to resolve, so no failure to report";
    EXPECT_EQ(label(w().status_label), none);
    EXPECT_FALSE(program_context().remote.connected());
    EXPECT_TRUE(peer_.logins().empty());
}

}  // namespace
