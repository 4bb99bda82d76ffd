// The AUTOFLASH key on Windows, where GDK reports AltGr as Mod2 and NumLock not at all.
#ifdef _WIN32
#include <gdk/gdkkeysyms.h>

#include "gui/connection_fixture.h"
#include "ui/autoflash_window.h"
#include "ui/key_bindings.h"

namespace {

using KeyBindingsWin32Test = ConnectionTest;

TEST_F(KeyBindingsWin32Test, CtrlAltGrFChoosesTheAutoflashFolder) {
    EXPECT_FALSE(handle_main_window_key(connection().link(), GDK_f, GDK_CONTROL_MASK));
    EXPECT_FALSE(handle_main_window_key(connection().link(), GDK_g, GDK_MOD2_MASK));
    for (const uint32_t state :
         {uint32_t{GDK_MOD2_MASK}, uint32_t{GDK_CONTROL_MASK | GDK_MOD2_MASK},
          uint32_t{GDK_CONTROL_MASK | GDK_MOD1_MASK}}) {
        ChooserAnswerer cancel({""});
        EXPECT_TRUE(handle_main_window_key(connection().link(), GDK_F, state)) << state;
        EXPECT_EQ(cancel.titles().size(), 1u) << state;
        EXPECT_TRUE(autoflash_folder().empty());
    }
}

}  // namespace
#endif
