// The two blocking windows the link can raise before any page exists. Their buttons work on
// the link they are given: "Exit" and "Try again" close it; "Program", "Change firmware" and
// "Enable remote access" hand it on.
#pragma once

class DeviceLink;

// A device found in bootloader mode (its handle already closed); returns when the window has
// been closed.
void show_bootloader_window(DeviceLink& link);
// A device whose type does not match; returns when the window has been closed.
void show_incompatible_window(DeviceLink& link, const char* text);
