// How the program starts and refuses to start. Each case runs in a child process.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ui/startup.h"
#include "gui/gui_fixture.h"
#include "sim/sim_control.h"
#include "support/test_system.h"

namespace {

// Sleeping processes under a name of the test's own (with its process id), so that no other
// process on the machine, another test binary running in parallel say, is taken for a copy.
struct NamedCopies {
    std::string folder = make_temp_folder("qn718-instance-");
    std::string path = folder + "/qn718-instance-probe-" + std::to_string(getpid());
    std::vector<pid_t> pids;

    NamedCopies() { std::filesystem::copy_file("/bin/sleep", path); }
    ~NamedCopies() {
        for (pid_t pid : pids) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }
    void start() {
        const pid_t pid = fork();
        if (pid == 0) {
            // Not on the death test's pipe: the test waits until every writer has closed it.
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, 1);
            dup2(null, 2);
            execl(path.c_str(), path.c_str(), "60", nullptr);
            _exit(127);
        }
        pids.push_back(pid);
    }
};

void start_as(const std::string& program_path) {
    std::string path = program_path;
    char* argv[] = {path.data(), nullptr};
    const int code = run_program(1, argv);
    std::fprintf(stderr, "run_program returned %d\n", code);
    std::exit(code);
}

void start_beside(int running_copies) {
    // Static, so that the exit at the end of the start still stops them.
    static NamedCopies copies;
    for (int i = 0; i < running_copies; ++i)
        copies.start();
    usleep(100 * 1000);         // let them appear in the process list
    sim::set_init_fails(true);  // a start that gets past the check ends right there
    when_message_shown([](GtkWidget* window) {
        std::fprintf(stderr, "shown: %s\n", message_text().c_str());
        gtk_button_clicked(GTK_BUTTON(find_button(window, "OK")));
    });
    start_as(copies.path);
}

using StartupTest = GuiTest;

TEST_F(StartupTest, FailedHidInitPrintsTheErrorAndEndsWithCodeOne) {
    sim::set_init_fails(true);
    EXPECT_EXIT(start_as("/nowhere/qn718-startup-test-program"), ::testing::ExitedWithCode(1),
                "ERROR: hid_init\n");
}

// The first match is the program itself: two running copies stand for this one and another.
TEST_F(StartupTest, SecondCopyShowsTheMessageAndEndsWithCodeOne) {
    EXPECT_EXIT(start_beside(2), ::testing::ExitedWithCode(1),
                "shown: Program can be run only once.\n");
}

TEST_F(StartupTest, SingleCopyGetsPastTheCheck) {
    EXPECT_EXIT(start_beside(1), ::testing::ExitedWithCode(1), "^ERROR: hid_init\n");
}

}  // namespace
