// How the program starts and refuses to start. Each case runs in a child process.
#include <cstdio>
#include <cstdlib>

#include "app/startup.h"
#include "gui/gui_fixture.h"
#include "sim/sim_control.h"

namespace {

class StartupTest : public GuiTest {};

void start_as(const char* program_path) {
    char* argv[] = {const_cast<char*>(program_path), nullptr};
    const int code = run_program(1, argv);
    std::fprintf(stderr, "run_program returned %d\n", code);
    std::exit(code);
}

void start_with_failing_hid_library() {
    sim::set_init_fails(true);
    // No running process carries this path, so the single-instance check lets it through.
    start_as("/nowhere/qn718-startup-test-program");
}

void start_as_second_copy() {
    // While a death test's child runs, the test binary runs twice: the parent waits for it.
    when_message_shown([](GtkWidget* window) {
        std::fprintf(stderr, "shown: %s\n", message_text().c_str());
        gtk_button_clicked(GTK_BUTTON(find_button(window, "OK")));
    });
    start_as("gui_tests");
}

}  // namespace

TEST_F(StartupTest, FailedHidInitPrintsTheErrorAndEndsWithCodeOne) {
    EXPECT_EXIT(start_with_failing_hid_library(), ::testing::ExitedWithCode(1),
                "ERROR: hid_init\n");
}

TEST_F(StartupTest, SecondCopyShowsTheMessageAndEndsWithCodeOne) {
    EXPECT_EXIT(start_as_second_copy(), ::testing::ExitedWithCode(1),
                "shown: Program can be run only once.\n");
}
