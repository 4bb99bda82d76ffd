#include "ui/key_bindings.h"

#include <gdk/gdkkeysyms.h>
#include <gdk/gdktypes.h>

#include "ui/console_window.h"
#include "ui/autoflash_window.h"

namespace {

bool is_console_key(uint32_t keyval, uint32_t state) {
    return (state & GDK_CONTROL_MASK) && (keyval == GDK_s || keyval == GDK_S);
}

bool is_autoflash_key(uint32_t keyval, uint32_t state) {
    // Mod2 is NumLock on usual X keymaps: with it, plain Ctrl+F would choose a folder.
    const uint32_t alt_like = GDK_MOD1_MASK | GDK_MOD3_MASK | GDK_MOD4_MASK;
#ifdef _WIN32
    // GDK on Windows reports AltGr, which Windows itself treats as Ctrl+Alt, as Mod2 alone:
    // Ctrl+AltGr+F arrives without the Control bit. Windows has no NumLock modifier bit.
    if ((state & GDK_MOD2_MASK) && (keyval == GDK_f || keyval == GDK_F))
        return true;
#endif
    return (state & GDK_CONTROL_MASK) && (state & alt_like) && (keyval == GDK_f || keyval == GDK_F);
}

}  // namespace

bool handle_main_window_key(DeviceLink& link, uint32_t keyval, uint32_t modifier_state) {
    if (is_console_key(keyval, modifier_state))
        return open_console(link);
    if (is_autoflash_key(keyval, modifier_state))
        return choose_autoflash_folder();
    return false;
}
