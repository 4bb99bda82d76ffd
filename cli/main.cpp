#include <hidapi.h>
#include <unistd.h>

#include <cstdio>

#include "cli/cli_run.h"

int main(int argc, char** argv) {
    const CliStreams io{stdout, stderr, isatty(fileno(stderr)) != 0};
    const int status = run_cli(argc, argv, io);
    std::fflush(stdout);
    hid_exit();
    return status;
}
