// Opening and closing the side windows a hundred times leaves no window, descriptor or heap
// behind.
#include <malloc.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "console/traffic_log.h"
#include "gui/gui_fixture.h"
#include "ui/connection.h"
#include "support/test_system.h"
#include "ui/console_window.h"
#include "ui/filter_window.h"
#include "ui/program_context.h"

namespace {

int open_descriptors() {
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<int>(std::distance(begin(fds), end(fds)));
}

int toplevel_windows() {
    GList* list = gtk_window_list_toplevels();
    const int count = static_cast<int>(g_list_length(list));
    g_list_free(list);
    return count;
}

// The console with some traffic in it, its filter settings opened and cancelled, then closed.
void open_and_close_side_windows() {
    open_console(connection().link());
    for (int i = 0; i < 20; ++i)
        program_context().traffic.log(TrafficDirection::received, "*CAN speed 12.0 km/h\n");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(console_widgets()->filter_button), TRUE);
    if (GtkWidget* settings = filter_settings_window())
        gtk_button_clicked(GTK_BUTTON(find_button(settings, "Cancel")));
    close_console();
    while (gtk_events_pending())
        gtk_main_iteration();
}

using SideWindowResourcesTest = GuiTest;

TEST_F(SideWindowResourcesTest, HundredOpenedAndClosedSideWindowsLeaveNothingBehind) {
    const std::string folder = make_temp_folder("qn718-side-windows-");
    setenv("USERPROFILE", folder.c_str(), 1);
    // GTK's and Pango's caches fill over the first hundred or so windows, then stay.
    for (int i = 0; i < 100; ++i)
        open_and_close_side_windows();
    const int windows = toplevel_windows();
    const int descriptors = open_descriptors();
    const size_t heap = mallinfo2().uordblks;
    for (int i = 0; i < 100; ++i) {
        open_and_close_side_windows();
        ASSERT_EQ(filter_settings_window(), nullptr);
        ASSERT_EQ(console_widgets(), nullptr);
    }
    EXPECT_EQ(toplevel_windows(), windows);
    EXPECT_EQ(open_descriptors(), descriptors);
#if !defined(__SANITIZE_ADDRESS__)
    const long grown = static_cast<long>(mallinfo2().uordblks) - static_cast<long>(heap);
    std::printf("100 side-window cycles: heap %+ld bytes, %d toplevels\n", grown, windows);
    // Warm caches still move by some tens of kilobytes from run to run; a leak of a window's
    // worth per cycle would be far more.
    EXPECT_LT(grown, 128 * 1024);
#else
    (void)heap;
#endif
    std::filesystem::remove_all(folder);
}

}  // namespace
