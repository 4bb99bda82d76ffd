#include "remote/remote_access.h"

// The remote-access window does not exist yet in this build, so the relay never runs.
bool remote_access_active() {
    return false;
}
