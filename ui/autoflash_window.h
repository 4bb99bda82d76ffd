// AUTOFLASH: the folder choice (Ctrl+Alt+F in the main window) and the watch the main loop runs.
#pragma once

#include <string>

// The modal folder choice; on "Open" the folder is watched from then on and the mode label
// reads "AUTOFLASH". Returns true (the key was acted on).
bool choose_autoflash_folder();

class DeviceLink;

// One pass of the watch, while a folder is set and the link holds a device.
void run_autoflash_step(DeviceLink& link);

const std::string& autoflash_folder();
