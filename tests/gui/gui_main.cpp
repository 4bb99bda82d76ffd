// GUI tests run in-process under Xvfb. Without a display every test is skipped.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include "gui/gui_fixture.h"

namespace {
bool g_have_display = false;
}

bool gui_available() {
    return g_have_display;
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // A forked child would share the parent's X connection; re-running the binary gives the
    // child a display connection of its own.
    ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
    // Listing the tests must not need a display.
    if (!::testing::GTEST_FLAG(list_tests))
        g_have_display = gtk_init_check(&argc, &argv);
    return RUN_ALL_TESTS();
}
