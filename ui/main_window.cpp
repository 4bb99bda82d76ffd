#include "ui/main_window.h"

#include <algorithm>

#include "ui/key_bindings.h"
#include "ui/ui_text.h"
#include "ui/widget_kit.h"
#include "ui/window_size.h"
#include "device/device_link.h"
#include "platform/processes.h"

namespace {

struct MainWindow {
    GtkWidget* window = nullptr;
    GtkWidget* scroll_area = nullptr;
    GtkWidget* main_box = nullptr;
    GtkWidget* status_label = nullptr;
    GtkWidget* version_label = nullptr;
    GtkWidget* info_label = nullptr;
    GtkWidget* mode_label = nullptr;
    int fixed_height = 0;  // of the main area; 0: the window is maximised instead
};
MainWindow g_main;

gboolean on_delete_event(GtkWidget*, GdkEvent*, gpointer link) {
    static_cast<DeviceLink*>(link)->close();
    exit_program(0);
}

gboolean on_key_press(GtkWidget*, GdkEventKey* event, gpointer link) {
    DeviceLink& device_link = *static_cast<DeviceLink*>(link);
    return handle_main_window_key(device_link, event->keyval, event->state) ? TRUE : FALSE;
}

// The main area is what the user sees of the page. The scroll area around it also holds the
// viewport's frame and, for a page taller than the area, the vertical scroll bar; a request of
// the bare area would leave the page narrower than itself and add a horizontal bar that hides
// the right edge of the status row.
struct AreaFrame {
    int width = 0;
    int height = 0;
};

AreaFrame scroll_area_frame(GtkWidget* scroll_area) {
    GtkRequisition bar{};
    gtk_widget_size_request(gtk_scrolled_window_get_vscrollbar(GTK_SCROLLED_WINDOW(scroll_area)),
                            &bar);
    gint spacing = 0;
    gtk_widget_style_get(scroll_area, "scrollbar-spacing", &spacing, nullptr);
    AreaFrame frame;
    GtkWidget* viewport = gtk_bin_get_child(GTK_BIN(scroll_area));
    if (viewport && gtk_viewport_get_shadow_type(GTK_VIEWPORT(viewport)) != GTK_SHADOW_NONE) {
        gtk_widget_ensure_style(viewport);
        frame.width += 2 * gtk_widget_get_style(viewport)->xthickness;
        frame.height += 2 * gtk_widget_get_style(viewport)->ythickness;
    }
    if (gtk_scrolled_window_get_shadow_type(GTK_SCROLLED_WINDOW(scroll_area)) != GTK_SHADOW_NONE) {
        gtk_widget_ensure_style(scroll_area);
        frame.width += 2 * gtk_widget_get_style(scroll_area)->xthickness;
        frame.height += 2 * gtk_widget_get_style(scroll_area)->ythickness;
    }
    frame.width += bar.width + spacing;
    return frame;
}

void request_main_area_size(GtkWidget* scroll_area, int height) {
    const AreaFrame frame = scroll_area_frame(scroll_area);
    gtk_widget_set_size_request(scroll_area, kMainAreaWidth + frame.width, height + frame.height);
}

// Everything of the window's height on the screen that is not the main area: the scroll
// area's frame, the window's border and the window manager's title bar, once there is one.
int height_around_main_area() {
    int height = scroll_area_frame(g_main.scroll_area).height +
                 2 * static_cast<int>(gtk_container_get_border_width(GTK_CONTAINER(g_main.window)));
    GdkWindow* own = gtk_widget_get_window(g_main.window);
    if (own && gtk_widget_get_mapped(g_main.window)) {
        GdkRectangle outer{};
        gdk_window_get_frame_extents(own, &outer);
        height += std::max(0, outer.height - gdk_window_get_height(own));
    }
    return height;
}

void set_label(GtkWidget* label, const char* text) {
    if (label)
        set_label_text(label, text);
}

}  // namespace

void create_main_window(DeviceLink& link) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_main.window = window;
    char title[200];
    g_snprintf(title, sizeof title, lang_text(Text::window_title), "718", 2, 20, 0);
    gtk_window_set_title(GTK_WINDOW(window), title);
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete_event), &link);
    g_signal_connect(window, "key_press_event", G_CALLBACK(on_key_press), &link);
    gtk_container_set_border_width(GTK_CONTAINER(window), 4);

    g_main.scroll_area = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(g_main.scroll_area), GTK_POLICY_AUTOMATIC,
                                   GTK_POLICY_AUTOMATIC);
    gtk_container_add(GTK_CONTAINER(window), g_main.scroll_area);
    gtk_widget_show(g_main.scroll_area);
    g_main.main_box = gtk_vbox_new(FALSE, 0);
    gtk_scrolled_window_add_with_viewport(GTK_SCROLLED_WINDOW(g_main.scroll_area), g_main.main_box);
    gtk_widget_show(g_main.main_box);

    if (fits_fixed_size(monitor_work_areas())) {
        g_main.fixed_height = kMainAreaHeight;
        request_main_area_size(g_main.scroll_area, g_main.fixed_height);
        gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    } else {
        gtk_window_maximize(GTK_WINDOW(window));
    }
}

void fit_main_window_to_page() {
    if (!g_main.fixed_height)
        return;
    GtkRequisition page{};
    gtk_widget_size_request(g_main.main_box, &page);
    const int height =
        main_area_height(page.height, monitor_work_areas(), height_around_main_area());
    // It grows and never shrinks back: a window that jumps at every reconnection is worse than
    // some room under a page that has gone.
    if (height <= g_main.fixed_height)
        return;
    g_main.fixed_height = height;
    request_main_area_size(g_main.scroll_area, height);
}

void build_status_rows() {
    GtkWidget* row1 = gtk_hbox_new(FALSE, 1);
    gtk_widget_show(row1);
    GtkWidget* left_spacer = make_label("");
    gtk_widget_set_size_request(left_spacer, 80, 18);
    gtk_box_pack_start(GTK_BOX(row1), left_spacer, TRUE, FALSE, 0);
    g_main.status_label = make_label("");
    gtk_widget_modify_font(g_main.status_label, font(kFontArial18));
    gtk_misc_set_alignment(GTK_MISC(g_main.status_label), 0.5, 0.5);
    gtk_box_pack_start(GTK_BOX(row1), g_main.status_label, TRUE, TRUE, 0);
    g_main.version_label = make_label("");
    gtk_misc_set_alignment(GTK_MISC(g_main.version_label), 1.0, 0.5);
    gtk_widget_set_size_request(g_main.version_label, 300, 10);
    gtk_box_pack_start(GTK_BOX(row1), g_main.version_label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(g_main.main_box), row1, FALSE, FALSE, 1);

    GtkWidget* row2 = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(row2);
    g_main.info_label = make_label("");
    gtk_widget_modify_font(g_main.info_label, font(kFontArial12));
    gtk_misc_set_alignment(GTK_MISC(g_main.info_label), 0.5, 0.0);
    gtk_box_pack_start(GTK_BOX(row2), g_main.info_label, TRUE, TRUE, 1);
    g_main.mode_label = make_label("");
    gtk_widget_modify_font(g_main.mode_label, font(kFontArial18));
    gtk_widget_modify_fg(g_main.mode_label, GTK_STATE_NORMAL, &kPureRed);
    gtk_box_pack_start(GTK_BOX(row2), g_main.mode_label, FALSE, FALSE, 1);
    gtk_box_pack_start(GTK_BOX(g_main.main_box), row2, FALSE, FALSE, 1);
}

GtkWidget* main_window() {
    return g_main.window;
}
GtkWidget* main_box() {
    return g_main.main_box;
}
void set_status_label(const char* text) {
    set_label(g_main.status_label, text);
}
void set_version_label(const char* text) {
    set_label(g_main.version_label, text);
}
void set_info_label(const char* text) {
    set_label(g_main.info_label, text);
}
void set_mode_label(const char* text) {
    set_label(g_main.mode_label, text);
}

const char* status_label_text() {
    return g_main.status_label ? gtk_label_get_text(GTK_LABEL(g_main.status_label)) : "";
}

const char* version_label_text() {
    return g_main.version_label ? gtk_label_get_text(GTK_LABEL(g_main.version_label)) : "";
}

void destroy_main_window() {
    if (g_main.window)
        gtk_widget_destroy(g_main.window);
    g_main = MainWindow{};
}
