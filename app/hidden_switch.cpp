#include "app/hidden_switch.h"

#include <cstring>

namespace {
bool g_hidden_switch = false;
}

bool hidden_switch() {
    return g_hidden_switch;
}

void set_hidden_switch(bool on) {
    g_hidden_switch = on;
}

bool has_hidden_switch_argument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "tarvel") == 0)
            return true;
    }
    return false;
}
