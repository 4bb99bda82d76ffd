// The update check at start-up.
#pragma once

// A message to show once the main window exists, or null.
const char* startup_update_check();
