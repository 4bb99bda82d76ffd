#include "app/hidden_switch.h"

namespace {
bool g_hidden_switch = false;
}

bool hidden_switch() {
    return g_hidden_switch;
}

void set_hidden_switch(bool on) {
    g_hidden_switch = on;
}
