// The window's keeper of the blocks devices held before the program overwrote them: every
// "Save" of the page hands it the device's block. Below the history window, which lists what
// it kept and loads it back into the page.
#pragma once

#include <string>

#include "config/config_operations.h"
#include "device/identification.h"

// Keeps the block as an entry for the device of this identity; when that fails, says so in
// the message window and stops the write.
KeepHeldBlock window_history_keeper(const DeviceIdentity& identity);

// A history text with its "%s" replaced by the subject (a folder, a file).
std::string with_subject(const char* format, const std::string& subject);
