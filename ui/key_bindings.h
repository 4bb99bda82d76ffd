// The main window's two key bindings: Ctrl+S opens the console, Ctrl with Alt (or Mod3 or
// Mod4; not Mod2, which is NumLock) and F chooses the AUTOFLASH folder. On Windows, where GDK
// reports AltGr as Mod2, Ctrl+AltGr+F (Mod2 with F) chooses it too.
#pragma once

#include <cstdint>

class DeviceLink;

// True when the key was handled. The console opens on the link.
bool handle_main_window_key(DeviceLink& link, uint32_t keyval, uint32_t modifier_state);
