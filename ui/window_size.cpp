#include "ui/window_size.h"

#include <gdk/gdk.h>

#include <algorithm>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
// The desktop's work area (screen minus taskbar). GDK on Windows has no root window properties
// to read it from; its coordinates start at the virtual screen's corner, Windows' at the
// primary monitor's.
bool desktop_work_area(GdkScreen*, GdkRectangle& area) {
    RECT work{};
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return false;
    area = {static_cast<int>(work.left - GetSystemMetrics(SM_XVIRTUALSCREEN)),
            static_cast<int>(work.top - GetSystemMetrics(SM_YVIRTUALSCREEN)),
            static_cast<int>(work.right - work.left), static_cast<int>(work.bottom - work.top)};
    return true;
}
#else
// The desktop's work area (screen minus panels), when the window manager publishes one.
bool desktop_work_area(GdkScreen* screen, GdkRectangle& area) {
    GdkWindow* root = gdk_screen_get_root_window(screen);
    GdkAtom type = GDK_NONE;
    gint format = 0;
    gint length = 0;
    guchar* data = nullptr;
    if (!gdk_property_get(root, gdk_atom_intern_static_string("_NET_WORKAREA"), GDK_NONE, 0,
                          4 * 4,  // bytes: the first area's x, y, width and height
                          FALSE, &type, &format, &length, &data)) {
        return false;
    }
    const bool ok = format == 32 && length >= static_cast<gint>(4 * sizeof(long));
    if (ok) {
        const long* values = reinterpret_cast<const long*>(data);
        area = {static_cast<int>(values[0]), static_cast<int>(values[1]),
                static_cast<int>(values[2]), static_cast<int>(values[3])};
    }
    g_free(data);
    return ok;
}
#endif

}  // namespace

std::vector<WorkArea> monitor_work_areas() {
    std::vector<WorkArea> areas;
    GdkScreen* screen = gdk_screen_get_default();
    if (!screen)
        return areas;
    GdkRectangle desktop{};
    const bool have_desktop = desktop_work_area(screen, desktop);
    const int monitors = gdk_screen_get_n_monitors(screen);
    for (int i = 0; i < monitors; ++i) {
        GdkRectangle monitor{};
        gdk_screen_get_monitor_geometry(screen, i, &monitor);
        GdkRectangle area = monitor;
        if (have_desktop && !gdk_rectangle_intersect(&monitor, &desktop, &area))
            area = monitor;
        areas.push_back({area.width, area.height});
    }
    return areas;
}
