#include "app/command_line.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kVersion = "2.20.0";

}  // namespace

CommandLineRequest command_line_request(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!arg)
            continue;
        if (std::strcmp(arg, "--lang") == 0) {
            ++i;
            continue;
        }
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0)
            return CommandLineRequest::help;
        if (std::strcmp(arg, "--version") == 0 || std::strcmp(arg, "-V") == 0)
            return CommandLineRequest::version;
    }
    return CommandLineRequest::run;
}

std::string help_text(const std::string& program) {
    return "Usage: " + program +
           " [--lang CODE]\n"
           "Configures a QN718 vehicle controller connected over USB: vehicle, CAN level,\n"
           "parking-sensor parameters, live values, configuration files.\n"
           "\n"
           "Options:\n"
           "  --lang CODE    interface language: en, pl, cs or sk (remembered for later runs)\n"
           "  -h, --help     print this help and exit\n"
           "  -V, --version  print the version and exit\n"
           "\n"
           "Files:\n"
           "  ~/.qn718rc                        user settings (language, update check)\n"
           "  ~/.qngrc-2.0                      GTK resource file of the chosen theme\n"
           "  /usr/lib/udev/rules.d/70-qn718.rules  gives the user at the seat the device\n"
           "\n"
           "Environment:\n"
           "  USERPROFILE, HOME  folder of the user settings (USERPROFILE first)\n"
           "  LC_ALL, LC_MESSAGES, LANG  default interface language\n"
           "\n"
           "Exit status:\n"
           "  0  normal end\n"
           "  1  another copy is already running, or the HID subsystem cannot start\n"
           "\n"
           "See qn718-programmer(1) for the simulated device of qn718-programmer-demo.\n";
}

std::string version_text() {
    return std::string("qn718-programmer ") + kVersion + "\n";
}

bool answer_command_line(int argc, const char* const* argv) {
    const CommandLineRequest request = command_line_request(argc, argv);
    if (request == CommandLineRequest::run)
        return false;
    std::string program = argc > 0 && argv[0] ? argv[0] : "qn718-programmer";
    const size_t slash = program.find_last_of('/');
    if (slash != std::string::npos)
        program.erase(0, slash + 1);
    const std::string text =
        request == CommandLineRequest::help ? help_text(program) : version_text();
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
    return true;
}
