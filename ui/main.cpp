#include "app/command_line.h"
#include "ui/startup.h"

int main(int argc, char** argv) {
    if (answer_command_line(argc, argv))
        return 0;
    return run_program(argc, argv);
}
