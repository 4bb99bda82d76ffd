#include "config/config_reference.h"

namespace {
ConfigReference g_reference;
}

ConfigReference& config_reference() {
    return g_reference;
}

void reset_config_reference() {
    g_reference = ConfigReference{};
}
