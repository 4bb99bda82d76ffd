// How the program starts and refuses to start. Each case runs in a child process.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/startup.h"
#include "gui/gui_fixture.h"
#include "sim/sim_control.h"

extern char** environ;

namespace {

// Processes with a name of the test's own choosing, so that no other process on the machine
// (another test binary running in parallel, say) can be taken for a copy of the program.
class NamedProcesses {
   public:
    explicit NamedProcesses(const std::string& name) {
        char folder[] = "/tmp/qn718-instance-XXXXXX";
        folder_ = mkdtemp(folder);
        path_ = folder_ + "/" + name;
        const std::string copy = "cp /bin/sleep '" + path_ + "'";
        if (std::system(copy.c_str()) != 0)
            path_.clear();
    }
    ~NamedProcesses() {
        for (pid_t pid : pids_) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::remove(path_.c_str());
        rmdir(folder_.c_str());
    }
    void start() {
        char seconds[] = "60";
        char* argv[] = {path_.data(), seconds, nullptr};
        // Not on the death test's pipe: the test waits until every writer has closed it.
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        if (posix_spawn(&pid, path_.c_str(), &actions, nullptr, argv, environ) == 0) {
            pids_.push_back(pid);
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    const std::string& path() const { return path_; }

   private:
    std::string folder_;
    std::string path_;
    std::vector<pid_t> pids_;
};

using StartupTest = GuiTest;

void start_as(const std::string& program_path) {
    std::string path = program_path;
    char* argv[] = {path.data(), nullptr};
    const int code = run_program(1, argv);
    std::fprintf(stderr, "run_program returned %d\n", code);
    std::exit(code);
}

void start_beside(int running_copies) {
    // Static, so that the exit at the end of the start still stops them.
    // The process id keeps tests that run side by side from counting each other's copies.
    static NamedProcesses copies("qn718-instance-probe-" + std::to_string(getpid()));
    for (int i = 0; i < running_copies; ++i)
        copies.start();
    usleep(100 * 1000);         // let them appear in the process list
    sim::set_init_fails(true);  // a start that gets past the check ends right there
    when_message_shown([](GtkWidget* window) {
        std::fprintf(stderr, "shown: %s\n", message_text().c_str());
        gtk_button_clicked(GTK_BUTTON(find_button(window, "OK")));
    });
    start_as(copies.path());
}

}  // namespace

TEST_F(StartupTest, FailedHidInitPrintsTheErrorAndEndsWithCodeOne) {
    sim::set_init_fails(true);
    EXPECT_EXIT(start_as("/nowhere/qn718-startup-test-program"), ::testing::ExitedWithCode(1),
                "ERROR: hid_init\n");
}

TEST_F(StartupTest, SecondCopyShowsTheMessageAndEndsWithCodeOne) {
    // The first match is the program itself, so two running copies stand for "this one and
    // another".
    EXPECT_EXIT(start_beside(2), ::testing::ExitedWithCode(1),
                "shown: Program can be run only once.\n");
}

TEST_F(StartupTest, SingleCopyGetsPastTheCheck) {
    EXPECT_EXIT(start_beside(1), ::testing::ExitedWithCode(1), "^ERROR: hid_init\n");
}
