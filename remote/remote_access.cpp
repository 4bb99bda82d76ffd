#include "remote/remote_access.h"

namespace {

bool g_active = false;

}  // namespace

bool remote_access_active() {
    return g_active;
}

void set_remote_access_active(bool active) {
    g_active = active;
}
