#include "app/hidden_switch.h"

#include <cstring>

bool has_hidden_switch_argument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], "tarvel") == 0)
            return true;
    }
    return false;
}
