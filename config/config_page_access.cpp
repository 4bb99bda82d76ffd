#include "config/config_page_access.h"

namespace {
ConfigPageAccess* g_access = nullptr;
}

void set_config_page_access(ConfigPageAccess* access) {
    g_access = access;
}

ConfigPageAccess* config_page_access() {
    return g_access;
}
