// The update check's progress window, and the check as the rest of the program calls it.
#pragma once

// The whole check with its progress window. Returns the text to show, or null when there is
// nothing to say (preference off, no update server configured, version current, download
// declined). After a complete download it does not return: the installer is handed to the
// system and the program ends.
const char* check_for_update();
// The check asked for from the menu: its text, or "You have the latest version of program."
// when it has none, in the message window; without a configured server, how to name one.
void run_requested_update_check();
