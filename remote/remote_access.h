// Whether remote access is active: while it is, the relay owns the device link.
#pragma once

bool remote_access_active();
