// The update check as the user meets it: the menu item, the progress window, the question,
// the message, and the installer handed to the desktop.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ui/menu_bar.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "gui/gui_fixture.h"
#include "support/loopback_http_peer.h"
#include "ui/update_window.h"

namespace {

GtkWidget* visible_toplevel(const char* title) {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        const char* t = gtk_window_get_title(GTK_WINDOW(w->data));
        if (t && std::string(t) == title && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    }
    g_list_free(windows);
    return found;
}

// Answers every "Question" dialog from the event loop, and notes how the progress window
// looked at that moment.
class QuestionAnswerer {
   public:
    explicit QuestionAnswerer(bool yes) : yes_(yes) { source_ = g_timeout_add(5, &tick, this); }
    ~QuestionAnswerer() { g_source_remove(source_); }
    std::vector<std::string> questions;
    bool progress_hidden = true;

   private:
    static gboolean tick(gpointer data) {
        auto* self = static_cast<QuestionAnswerer*>(data);
        if (GtkWidget* dialog = visible_toplevel("Question")) {
            const std::vector<std::string> texts = label_texts(dialog);
            self->questions.push_back(texts.empty() ? "" : texts.front());
            self->progress_hidden = visible_toplevel("Checking for updates...") == nullptr;
            gtk_dialog_response(GTK_DIALOG(dialog),
                                self->yes_ ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_NONE);
        }
        return TRUE;
    }
    bool yes_;
    guint source_ = 0;
};

class UpdateWindowTest : public GuiTest {
   protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (IsSkipped())
            return;
        for (const char* name : {"HOME", "USERPROFILE", "QN718_UPDATE_SERVER", "PATH"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? value : "");
        }
        // A death test's child runs this again: it must find the parent's folder.
        const char* folder = std::getenv("QN718_TEST_FOLDER");
        if (folder) {
            folder_ = folder;
        } else {
            std::string pattern =
                (std::filesystem::temp_directory_path() / "qn718-update-XXXXXX").string();
            ASSERT_NE(mkdtemp(pattern.data()), nullptr);
            folder_ = pattern;
        }
        setenv("HOME", folder_.c_str(), 1);
        setenv("USERPROFILE", folder_.c_str(), 1);
        user_settings() = UserSettings{};
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            setenv(name.c_str(), value.c_str(), 1);
        if (!std::getenv("QN718_TEST_FOLDER") && !folder_.empty())
            std::filesystem::remove_all(folder_);
        user_settings() = UserSettings{};
        GuiTest::TearDown();
    }

    // The menu item's preference flipped from off to on: the check runs and says something.
    std::string switch_on_and_read_message() {
        user_settings().update_check = 0;
        MessageAnswerer answerer;
        toggle_update_check_preference();
        run_events_until([&] { return !answerer.seen().empty(); });
        return answerer.seen().empty() ? "" : answerer.seen().front();
    }

    std::string folder_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

TEST_F(UpdateWindowTest, SwitchingOnChecksAtOnceAndSaysWhatHappened) {
    const char* latest = "You have the latest version of program.";
    const struct {
        const char* answer;  // null: QN718_UPDATE_SERVER names no server
        const char* server;
        const char* message;
    } cases[] = {
        {"VERSION 2.20.7", nullptr, latest},
        {"VERSION 2.19.4", nullptr, latest},  // offered, and declined
        {"Version 2.21.0", nullptr, "Update check error."},
        {nullptr, "127.0.0.1:1", "Cannot connect to server"},
        {nullptr, "127.0.0.1:port", "Cannot find update server."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer ? c.answer : c.server);
        LoopbackHttpPeer peer(c.answer ? std::vector<PeerReply>{{{http_response(c.answer)}}}
                                       : std::vector<PeerReply>{});
        setenv("QN718_UPDATE_SERVER", c.server ? c.server : peer.address().c_str(), 1);
        QuestionAnswerer answerer(false);
        EXPECT_EQ(switch_on_and_read_message(), c.message);
        EXPECT_EQ(user_settings().update_check, 1);
        EXPECT_EQ(read_file(folder_ + "/.qn718rc").substr(0, 1), std::string(1, '\1'));
        if (c.answer && std::string(c.answer) == "VERSION 2.19.4") {
            EXPECT_EQ(answerer.questions,
                      std::vector<std::string>{
                          "Version 2.19.0 is available.\nDo you want to download latest version?"});
            EXPECT_TRUE(answerer.progress_hidden) << "the question hides the progress window";
        }
        EXPECT_EQ(visible_toplevel("Checking for updates..."), nullptr);
    }
}

TEST_F(UpdateWindowTest, SwitchingOffOnlyRelabels) {
    LoopbackHttpPeer peer({{{http_response("VERSION 2.21.0")}}});
    setenv("QN718_UPDATE_SERVER", peer.address().c_str(), 1);
    user_settings().update_check = 1;
    toggle_update_check_preference();
    process_pending_events();
    EXPECT_EQ(message_slot(), nullptr);
    EXPECT_EQ(check_for_update(), nullptr) << "the preference is off";
    EXPECT_TRUE(peer.requests().empty());
    EXPECT_EQ(read_file(folder_ + "/.qn718rc").substr(0, 1), std::string(1, '\0'));
}

namespace {

// The whole road of an accepted offer, in the death test's child: the download, the message,
// the desktop's handler (a script in PATH that notes its argument) and the exit.
[[noreturn]] void download_and_start(const std::string& folder) {
    const std::string bin = folder + "/bin";
    std::filesystem::create_directories(bin);
    {
        std::ofstream opener(bin + "/xdg-open");
        opener << "#!/bin/sh\nprintf '%s' \"$1\" > '" << folder << "/opened'\n";
    }
    chmod((bin + "/xdg-open").c_str(), 0755);
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    unsetenv("XDG_CACHE_HOME");

    const std::string installer(20000, 'I');
    LoopbackHttpPeer peer(
        {{{http_response("VERSION 2.21.5")}},
         {{http_response(installer).substr(0, 50), http_response(installer).substr(50)}, 20}});
    setenv("QN718_UPDATE_SERVER", peer.address().c_str(), 1);
    QuestionAnswerer yes(true);
    MessageAnswerer ok;
    check_for_update();
    std::fprintf(stderr, "check_for_update returned\n");
    std::exit(3);
}

}  // namespace

TEST_F(UpdateWindowTest, AcceptedOfferDownloadsAndHandsTheInstallerToTheDesktop) {
    setenv("QN718_TEST_FOLDER", folder_.c_str(), 1);
    EXPECT_EXIT(download_and_start(folder_), ::testing::ExitedWithCode(0), "");
    unsetenv("QN718_TEST_FOLDER");
    const std::string installer = folder_ + "/.cache/qn718-programmer/Autoupdate.exe";
    EXPECT_EQ(read_file(installer), std::string(20000, 'I'));
    run_events_until([&] { return std::filesystem::exists(folder_ + "/opened"); }, 5000);
    EXPECT_EQ(read_file(folder_ + "/opened"), installer);
}
