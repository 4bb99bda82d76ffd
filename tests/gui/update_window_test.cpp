// The update check as the user meets it: the menu item, the progress window, the question,
// the message, and the installer handed to the desktop.
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ui/menu_bar.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "gui/gui_fixture.h"
#include "platform/files.h"
#include "support/loopback_http_peer.h"
#include "support/test_system.h"
#include "ui/update_window.h"
#include "update/update_server.h"
#include "ui/program_context.h"

namespace {

// Answers every "Question" dialog from the event loop, noting its text and whether the progress
// window was hidden at that moment.
struct QuestionAnswerer {
    explicit QuestionAnswerer(bool yes) {
        source = repeat_until_done(5, [this, yes] {
            if (GtkWidget* dialog = toplevel_titled("Question")) {
                questions.push_back(label_texts(dialog).front());
                progress_hidden = !toplevel_titled("Checking for updates...");
                gtk_dialog_response(GTK_DIALOG(dialog),
                                    yes ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_NONE);
            }
            return false;
        });
    }
    ~QuestionAnswerer() { g_source_remove(source); }
    std::vector<std::string> questions;
    bool progress_hidden = false;
    guint source = 0;
};

std::string file_text(const std::string& path) {
    std::string text;
    read_whole_file(path, 1 << 20, text);
    return text;
}

class UpdateWindowTest : public GuiTest {
   protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (IsSkipped())
            return;
        // A death test's child runs this again: it must find the parent's folder.
        const char* given = std::getenv("QN718_TEST_FOLDER");
        folder_ = given ? given : make_temp_folder("qn718-update-");
        for (const char* name : {"HOME", "USERPROFILE"}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? value : "");
            setenv(name, folder_.c_str(), 1);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_)
            setenv(name.c_str(), value.c_str(), 1);
        setenv("QN718_UPDATE_SERVER", "127.0.0.1:1", 1);
        if (!std::getenv("QN718_TEST_FOLDER") && !folder_.empty())
            std::filesystem::remove_all(folder_);
        GuiTest::TearDown();
    }

    std::string folder_;
    std::vector<std::pair<std::string, std::string>> saved_;
};

TEST_F(UpdateWindowTest, SwitchingOnChecksAtOnceAndSaysWhatHappenedSwitchingOffDoesNot) {
    const char* latest = "You have the latest version of program.";
    const struct {
        const char* answer;  // null: QN718_UPDATE_SERVER names no server
        const char* server;
        const char* message;
        const char* question;
    } cases[] = {
        {"VERSION 2.20.7", nullptr, latest, nullptr},
        {"VERSION 2.19.4", nullptr, latest,
         "Version 2.19.0 is available.\nDo you want to download latest version?"},
        {"Version 2.21.0", nullptr, "Update check error.", nullptr},
        {nullptr, "127.0.0.1:1", "Cannot connect to server", nullptr},
        {nullptr, "127.0.0.1:port", "Cannot find update server.", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer ? c.answer : c.server);
        LoopbackHttpPeer peer(c.answer ? std::vector<PeerReply>{{{http_response(c.answer)}}}
                                       : std::vector<PeerReply>{});
        setenv("QN718_UPDATE_SERVER", c.server ? c.server : peer.address().c_str(), 1);
        QuestionAnswerer no(false);
        MessageAnswerer ok;
        program_context().settings.update_check = 0;
        toggle_update_check_preference();
        run_events_until([&] { return !ok.seen().empty(); });
        EXPECT_EQ(ok.seen(), std::vector<std::string>{c.message});
        EXPECT_EQ(file_text(folder_ + "/.qn718rc").substr(0, 1), "\1");
        EXPECT_EQ(no.questions.size(), c.question ? 1u : 0u);
        if (c.question) {
            EXPECT_EQ(no.questions[0], c.question);
            EXPECT_TRUE(no.progress_hidden) << "the question hides the progress window";
        }
        EXPECT_EQ(toplevel_titled("Checking for updates..."), nullptr);
    }

    // Switching off only relabels: no check, not even when asked for one.
    LoopbackHttpPeer peer({{{http_response("VERSION 2.21.0")}}});
    setenv("QN718_UPDATE_SERVER", peer.address().c_str(), 1);
    toggle_update_check_preference();
    process_pending_events();
    EXPECT_EQ(message_slot(), nullptr);
    EXPECT_EQ(check_for_update(), nullptr);
    EXPECT_TRUE(peer.requests().empty());
    EXPECT_EQ(file_text(folder_ + "/.qn718rc").substr(0, 1), std::string(1, '\0'));
}

// A build without an update server, as shipped by default: the start-up check stays silent
// (a fresh install shows no message), and the menu item says how to name a server.
TEST_F(UpdateWindowTest, WithoutAServerTheStartIsSilentAndTheMenuSaysHowToNameOne) {
    unsetenv("QN718_UPDATE_SERVER");
    if (configured_update_server())
        GTEST_SKIP() << "this build names an update server";
    MessageAnswerer ok;
    program_context().settings.update_check = 1;
    EXPECT_EQ(check_for_update(), nullptr);
    process_pending_events();
    EXPECT_EQ(message_slot(), nullptr);

    program_context().settings.update_check = 0;
    toggle_update_check_preference();
    run_events_until([&] { return !ok.seen().empty(); });
    EXPECT_EQ(ok.seen(),
              std::vector<std::string>{
                  "No update server is configured.\nSet QN718_UPDATE_SERVER=host[:port], "
                  "or build the program with -DQN718_UPDATE_HOST=host."});
    EXPECT_EQ(program_context().settings.update_check, 1)
        << "the preference is kept for a later server";
}

// The whole road of an accepted offer, in the death test's child: the download, the message,
// the desktop's handler (a script in PATH that notes its argument) and the exit.
[[noreturn]] void download_and_start(const std::string& folder) {
    const std::string bin = folder + "/bin";
    std::filesystem::create_directories(bin);
    write_whole_file(bin + "/xdg-open",
                     "#!/bin/sh\nprintf '%s' \"$1\" > '" + folder + "/opened'\n");
    chmod((bin + "/xdg-open").c_str(), 0755);
    setenv("PATH", (bin + ":/usr/bin:/bin").c_str(), 1);
    unsetenv("XDG_CACHE_HOME");

    const std::string installer = http_response(std::string(20000, 'I'));
    LoopbackHttpPeer peer({{{http_response("VERSION 2.21.5")}},
                           {{installer.substr(0, 50), installer.substr(50)}, 20}});
    setenv("QN718_UPDATE_SERVER", peer.address().c_str(), 1);
    QuestionAnswerer yes(true);
    MessageAnswerer ok;
    check_for_update();
    std::exit(3);
}

TEST_F(UpdateWindowTest, AcceptedOfferDownloadsAndHandsTheInstallerToTheDesktop) {
    setenv("QN718_TEST_FOLDER", folder_.c_str(), 1);
    EXPECT_EXIT(download_and_start(folder_), ::testing::ExitedWithCode(0), "");
    unsetenv("QN718_TEST_FOLDER");
    const std::string installer = folder_ + "/.cache/qn718-programmer/Autoupdate.exe";
    EXPECT_EQ(file_text(installer), std::string(20000, 'I'));
    run_events_until([&] { return std::filesystem::exists(folder_ + "/opened"); }, 5000);
    EXPECT_EQ(file_text(folder_ + "/opened"), installer);
}

}  // namespace
