// The connected page at the window's default size: nothing of its width is hidden.
#include "gui/connection_fixture.h"
#include "ui/widget_kit.h"

namespace {

using MainAreaTest = ConnectionTest;

TEST_F(MainAreaTest, PageAndVersionLabelFitWithoutHorizontalScrolling) {
    if (gtk_window_get_resizable(GTK_WINDOW(main_window())))
        GTEST_SKIP() << "screen below the fixed size: the window is maximised instead";
    ASSERT_TRUE(pass_until_state(AppState::connected));
    ASSERT_STRNE(version_label_text(), "");
    GtkWidget* scroll_area = gtk_bin_get_child(GTK_BIN(main_window()));
    ASSERT_TRUE(run_events_until(
        [&] { return gtk_widget_get_mapped(scroll_area) && gtk_widget_get_mapped(main_box()); }));
    process_pending_events();

    GtkAdjustment* across = gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(scroll_area));
    EXPECT_LE(gtk_adjustment_get_upper(across), gtk_adjustment_get_page_size(across));
    EXPECT_FALSE(gtk_widget_get_visible(
        gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(scroll_area))));

    GtkWidget* version = find_widget(main_box(), [](GtkWidget* w) {
        return GTK_IS_LABEL(w) &&
               gtk_label_get_text(GTK_LABEL(w)) == std::string(version_label_text());
    });
    ASSERT_NE(version, nullptr);
    GtkAllocation label{};
    gtk_widget_get_allocation(version, &label);
    EXPECT_LE(label.x + label.width, gtk_adjustment_get_page_size(across));

    GtkAllocation page{};
    gtk_widget_get_allocation(main_box(), &page);
    EXPECT_GE(page.width, 1010) << "the main area keeps its width";
}

}  // namespace
