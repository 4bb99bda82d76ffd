#include <unistd.h>

#include <cstdio>

#include "cli/cli_run.h"
#include "device/hid_port.h"

int main(int argc, char** argv) {
    const CliStreams io{stdout, stderr, isatty(fileno(stderr)) != 0};
    const int status = run_cli(argc, argv, io);
    std::fflush(stdout);
    end_hidapi();
    return status;
}
