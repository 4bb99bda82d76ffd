// The two blocking windows the link can raise before any page exists.
#pragma once

// A device found in bootloader mode (its handle already closed); returns when the window has
// been closed.
void show_bootloader_window();
// A device whose type does not match; returns when the window has been closed.
void show_incompatible_window(const char* text);
