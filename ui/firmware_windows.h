// The firmware update's windows: the file chooser, the progress window, and the flasher run
// with them.
#pragma once

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "firmware/flasher.h"

// Chooses a file to open; the link keeps being served while the dialog is open, as it is not
// modal. Empty when cancelled. The folder is remembered in the user settings.
std::string choose_firmware_file(DeviceLink& link, const std::vector<std::string>& patterns,
                                 const char* title);

struct ProgressWindow {
    GtkWidget* window = nullptr;
    GtkWidget* bar = nullptr;
    GtkWidget* label = nullptr;
};
// A modal window that the user cannot close.
ProgressWindow open_progress_window();

// Destroys the message window and, unless keep_console, the console window.
void close_side_windows(bool keep_console);

// One flashing attempt on the link, its messages included: the final message is waited for
// until the user closes it. The result tells the AUTOFLASH watch whether to try automatic_file
// again.
FlashResult flash_firmware(DeviceLink& link, FlashMode mode,
                           const std::string& automatic_file = {});
