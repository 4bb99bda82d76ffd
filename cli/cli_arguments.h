// The command line of the tool: options anywhere, one command and its arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_text.h"

enum class CliCommand {
    none,
    identify,
    read,
    write,
    defaults,
    flash,
    status,
    send,
    history,
    restore,
    station,
};

struct CliArguments {
    bool help = false;
    bool version = false;
    CliCommand command = CliCommand::none;
    std::string command_name;  // as typed, for messages
    std::string file;          // write, flash: the file; read: the --cfg file ("" for stdout)
    std::string command_code;  // send: the hex code
    std::string data;          // send: the data field with escapes
    int wait_seconds = 0;
    std::string language;  // "" when --lang was not given
    bool quiet = false;
    bool json = false;
    bool watch = false;
    // restore: the entry's number, or the newest with --last.
    uint64_t entry = 0;
    bool last = false;
    // station: what each device gets and where its line goes ("" for none), and how many
    // devices end the run (0: until interrupted).
    std::string station_firmware;
    std::string station_config;
    std::string station_report;
    int count = 0;
    // --remote: the code of the remote-access session whose device the command works on
    // ("" for the local USB device), and --relay-socket: the server's technician socket.
    std::string remote_code;
    std::string relay_socket;
};

// Why the command line was refused; the message's one %s is filled with subject (and, for
// option_not_here, the second with the command).
struct ArgumentError {
    CliText message;
    std::string subject;
    std::string command;
};

struct ParsedArguments {
    CliArguments arguments;
    bool ok = true;
    ArgumentError error{CliText::no_command, "", ""};
};

// Options may stand before or after the command; "--" ends them. --help and --version win
// over every error, as a user who asks for help has usually typed something wrong.
ParsedArguments parse_arguments(const std::vector<std::string>& args);

// The LanguageList index of a language code ("pl", also "pl_PL.UTF-8"); -1 when unknown.
int language_index_of(const std::string& code);

// The --help text (program is the name the tool was started as) and the --version line.
std::string cli_help_text(const std::string& program);
std::string cli_version_text();
