// Whether remote access is active: while it is, the relay owns the device link and the main
// loop runs relay steps instead of its own device work.
#pragma once

bool remote_access_active();
// The remote-access window says so when it opens and when it closes.
void set_remote_access_active(bool active);
