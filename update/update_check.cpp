#include "update/update_check.h"

// The update server is not contacted yet in this build.
const char* startup_update_check() {
    return nullptr;
}
