// setenv and unsetenv for tests written against POSIX, in the Windows build of those tests:
// both go through set_environment, which changes what the program and GLib read.
#pragma once

#include "support/test_system.h"

inline int setenv(const char* name, const char* value, int) {
    set_environment(name, value);
    return 0;
}

inline int unsetenv(const char* name) {
    set_environment(name, nullptr);
    return 0;
}
