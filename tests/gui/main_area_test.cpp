// The connected page at the window's default size: nothing of its width or height is hidden.
#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/language.h"
#include "gui/connection_fixture.h"
#include "ui/menu_bar.h"
#include "ui/widget_kit.h"
#include "ui/window_size.h"
#include "ui/program_context.h"

namespace {

using MainAreaTest = ConnectionTest;

GtkWidget* scroll_area() {
    return gtk_bin_get_child(GTK_BIN(main_window()));
}

// The page's height depends on the fonts, the theme and the language: in each, the connected
// page shows whole at first view, with no scroll bar, and the window stays on the screen.
TEST_F(MainAreaTest, TheWholePageShowsWithoutScrollingInEveryLanguageAndTheme) {
    destroy_main_window();  // the program's own window, with its menu bar
    create_main_window(connection().link());
    build_menu_bar(main_box(), connection().link());
    build_status_rows();
    gtk_widget_show(main_window());
    if (gtk_window_get_resizable(GTK_WINDOW(main_window())))
        GTEST_SKIP() << "screen below the fixed size: the window is maximised instead";
    int screen_height = 10000;
    for (const WorkArea& area : monitor_work_areas())
        screen_height = std::min(screen_height, area.height);

    setenv("GTK_DATA_PREFIX", QN718_SOURCE_DIR, 1);
    GtkSettings* settings = gtk_settings_get_default();
    for (const char* theme : {"Raleigh", "QN718-Dark", "QN718-HighContrast"}) {
        gtk_settings_set_string_property(settings, "gtk-theme-name", theme, "test");
        for (int language = 0; language < kLanguageCount; ++language) {
            SCOPED_TRACE(std::string(theme) + ", language " + std::to_string(language));
            program_context().language = language;
            unplug_and_replug();
            ASSERT_TRUE(pass_until_state(AppState::connected));
            GtkAdjustment* down =
                gtk_scrolled_window_get_vadjustment(GTK_SCROLLED_WINDOW(scroll_area()));
            // The window takes its new size once the X server has answered.
            run_events_until([&] {
                return gtk_widget_get_mapped(main_box()) &&
                       gtk_adjustment_get_upper(down) <= gtk_adjustment_get_page_size(down);
            });
            EXPECT_LE(gtk_adjustment_get_upper(down), gtk_adjustment_get_page_size(down));
            EXPECT_FALSE(gtk_widget_get_visible(
                gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scroll_area()))));
            GtkAllocation area{};
            gtk_widget_get_allocation(scroll_area(), &area);
            EXPECT_GE(area.height, 670);
            GtkAllocation window{};
            gtk_widget_get_allocation(main_window(), &window);
            EXPECT_LE(window.height, screen_height);
        }
    }
    gtk_settings_set_string_property(settings, "gtk-theme-name", "Raleigh", "test");
}

TEST_F(MainAreaTest, PageAndVersionLabelFitWithoutHorizontalScrolling) {
    if (gtk_window_get_resizable(GTK_WINDOW(main_window())))
        GTEST_SKIP() << "screen below the fixed size: the window is maximised instead";
    ASSERT_TRUE(pass_until_state(AppState::connected));
    ASSERT_STRNE(version_label_text(), "");
    GtkWidget* area = scroll_area();
    ASSERT_TRUE(run_events_until(
        [&] { return gtk_widget_get_mapped(area) && gtk_widget_get_mapped(main_box()); }));
    process_pending_events();

    GtkAdjustment* across = gtk_scrolled_window_get_hadjustment(GTK_SCROLLED_WINDOW(area));
    EXPECT_LE(gtk_adjustment_get_upper(across), gtk_adjustment_get_page_size(across));
    EXPECT_FALSE(
        gtk_widget_get_visible(gtk_scrolled_window_get_hscrollbar(GTK_SCROLLED_WINDOW(area))));

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
