#include "cli/cli_arguments.h"

#include <cstdlib>

#include "app/command_line.h"
#include "app/language.h"
#include "remote/technician_channel.h"

namespace {

constexpr int kMaxWaitSeconds = 3600;

struct CommandName {
    const char* name;
    CliCommand command;
    int required;  // positional arguments the command needs
    int allowed;   // and at most takes
};

const CommandName kCommands[] = {
    {"identify", CliCommand::identify, 0, 0}, {"read", CliCommand::read, 0, 0},
    {"write", CliCommand::write, 1, 1},       {"defaults", CliCommand::defaults, 0, 0},
    {"flash", CliCommand::flash, 1, 1},       {"status", CliCommand::status, 0, 0},
    {"send", CliCommand::send, 1, 2},         {"history", CliCommand::history, 0, 0},
    {"restore", CliCommand::restore, 0, 1},   {"station", CliCommand::station, 0, 0},
};

constexpr int kMaxStationCount = 100000;

// Digits only, from 1 to max.
bool parse_positive(const std::string& text, uint64_t max, uint64_t& value) {
    if (text.empty() || text.size() > 18 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::strtoull(text.c_str(), nullptr, 10);
    return value >= 1 && value <= max;
}

bool parse_wait(const std::string& text, int& seconds) {
    if (text.empty() || text.size() > 4)
        return false;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
    }
    seconds = std::atoi(text.c_str());
    return seconds <= kMaxWaitSeconds;
}

ParsedArguments refuse(CliText message, const std::string& subject,
                       const std::string& command = "") {
    ParsedArguments parsed;
    parsed.ok = false;
    parsed.error = {message, subject, command};
    return parsed;
}

}  // namespace

int language_index_of(const std::string& code) {
    // Locale names carry a region and an encoding ("pl_PL.UTF-8"); the table codes do not.
    const std::string language = code.substr(0, code.find_first_of("_.@"));
    for (int i = 0; LanguageList[i].code[0] != '\0'; ++i) {
        if (language == LanguageList[i].code)
            return i;
    }
    return -1;
}

ParsedArguments parse_arguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    CliArguments& a = parsed.arguments;
    std::vector<std::string> words;
    bool options_end = false;
    // Set when the first problem is met; reported only when no --help or --version follows.
    ParsedArguments first_error;
    auto note = [&first_error](ParsedArguments error) {
        if (first_error.ok)
            first_error = std::move(error);
    };
    std::string cfg_option, json_option, watch_option, last_option, relay_socket_option;
    bool remote = false;
    std::vector<std::string> station_options;

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_end || arg.empty() || arg[0] != '-' || arg == "-") {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_end = true;
        } else if (arg == "--help" || arg == "-h") {
            a.help = true;
        } else if (arg == "--version" || arg == "-V") {
            a.version = true;
        } else if (arg == "--quiet" || arg == "-q") {
            a.quiet = true;
        } else if (arg == "--json") {
            a.json = true;
            json_option = arg;
        } else if (arg == "--watch") {
            a.watch = true;
            watch_option = arg;
        } else if (arg == "--last") {
            a.last = true;
            last_option = arg;
        } else if (arg == "--firmware" || arg == "--config" || arg == "--report" ||
                   arg == "--count") {
            station_options.push_back(arg);
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                note(refuse(CliText::missing_value, arg));
                i += i + 1 < args.size() ? 1 : 0;
                continue;
            }
            const std::string& value = args[++i];
            uint64_t count = 0;
            if (arg == "--firmware")
                a.station_firmware = value;
            else if (arg == "--config")
                a.station_config = value;
            else if (arg == "--report")
                a.station_report = value;
            else if (parse_positive(value, kMaxStationCount, count))
                a.count = static_cast<int>(count);
            else
                note(refuse(CliText::bad_count, value));
        } else if (arg == "--remote" || arg == "--relay-socket") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                note(refuse(CliText::missing_value, arg));
                i += i + 1 < args.size() ? 1 : 0;
                continue;
            }
            const std::string& value = args[++i];
            if (arg == "--relay-socket") {
                a.relay_socket = value;
                relay_socket_option = arg;
            } else {
                remote = true;
                a.remote_code = value;
                if (!valid_session_code(value))
                    note(refuse(CliText::bad_session_code, value));
            }
        } else if (arg == "--wait" || arg == "--lang" || arg == "--cfg") {
            if (i + 1 >= args.size()) {
                note(refuse(CliText::missing_value, arg));
                continue;
            }
            const std::string& value = args[++i];
            if (arg == "--wait") {
                if (!parse_wait(value, a.wait_seconds))
                    note(refuse(CliText::bad_wait, value));
            } else if (arg == "--lang") {
                if (language_index_of(value) < 0 || value.find_first_of("_.@") != std::string::npos)
                    note(refuse(CliText::unknown_language, value));
                a.language = value;
            } else {
                if (value.empty())
                    note(refuse(CliText::missing_value, arg));
                a.file = value;
                cfg_option = arg;
            }
        } else {
            note(refuse(CliText::unknown_option, arg));
        }
    }
    if (a.help || a.version)
        return parsed;
    if (!first_error.ok)
        return first_error;

    if (words.empty())
        return refuse(CliText::no_command, "");
    const CommandName* command = nullptr;
    for (const CommandName& c : kCommands) {
        if (words[0] == c.name)
            command = &c;
    }
    if (!command)
        return refuse(CliText::unknown_command, words[0]);
    a.command = command->command;
    a.command_name = command->name;
    const int given = static_cast<int>(words.size()) - 1;
    if (a.command == CliCommand::restore && given == 0 && last_option.empty())
        return refuse(CliText::missing_entry, a.command_name);
    if (given < command->required || (given >= 1 && words[1].empty()))
        return refuse(CliText::missing_argument, a.command_name);
    if (given > command->allowed)
        return refuse(CliText::extra_argument, words[command->allowed + 1]);

    if (!cfg_option.empty() && a.command != CliCommand::read)
        return refuse(CliText::option_not_here, cfg_option, a.command_name);
    if (!json_option.empty() && a.command != CliCommand::identify &&
        a.command != CliCommand::status && a.command != CliCommand::history)
        return refuse(CliText::option_not_here, json_option, a.command_name);
    if (!watch_option.empty() && a.command != CliCommand::status)
        return refuse(CliText::option_not_here, watch_option, a.command_name);

    if (!last_option.empty() && (a.command != CliCommand::restore || given > 0))
        return refuse(CliText::option_not_here, last_option, a.command_name);
    if (!relay_socket_option.empty() && !remote)
        return refuse(CliText::remote_option_alone, relay_socket_option);
    // The history is this computer's, and a station takes device after device from its USB.
    if (remote && (a.command == CliCommand::history || a.command == CliCommand::station))
        return refuse(CliText::option_not_here, "--remote", a.command_name);
    if (!station_options.empty() && a.command != CliCommand::station)
        return refuse(CliText::option_not_here, station_options.front(), a.command_name);
    if (a.command == CliCommand::restore && given == 1 &&
        !parse_positive(words[1], UINT64_MAX / 10, a.entry))
        return refuse(CliText::bad_entry_number, words[1]);

    if (a.command == CliCommand::write || a.command == CliCommand::flash)
        a.file = words[1];
    if (a.command == CliCommand::send) {
        a.command_code = words[1];
        a.data = given == 2 ? words[2] : "";
    }
    return parsed;
}

std::string cli_help_text(const std::string& program) {
    return "Usage: " + program +
           " [OPTIONS] COMMAND [ARGUMENTS]\n"
           "Works with a QN718 vehicle controller on USB without a window: identifies it, reads\n"
           "and writes its configuration, flashes its firmware, shows its live status.\n"
           "\n"
           "Commands:\n"
           "  identify          type, firmware, sub-version and speed-signal state\n"
           "  read              the configuration as .cfg lines (standard output, or --cfg FILE)\n"
           "  write FILE.cfg    write a .cfg file to the device and verify it by reading it back\n"
           "  defaults          write the default configuration\n"
           "  flash FILE.bin    check and flash a firmware file (also from the bootloader)\n"
           "  status            status bits and speed once (--watch: until interrupted)\n"
           "  send HEX [DATA]   send one command (two hex digits) with data, \\xHH escapes\n"
           "                    allowed, and print the device's reply with code 01\n"
           "  history           the configurations devices held before this program overwrote\n"
           "                    them, newest first, with their numbers\n"
           "  restore N|--last  write history entry N (or the newest) back and verify it\n"
           "  station           production station: device after device, flash (--firmware),\n"
           "                    write and verify (--config), one line per device (--report)\n"
           "\n"
           "Options:\n"
           "  --wait SECONDS    wait up to this long for a device to appear (default 0)\n"
           "  --lang CODE       language of the messages: en, pl, cs or sk (not remembered)\n"
           "  --cfg FILE        read: write the .cfg lines to FILE instead of standard output\n"
           "  --json            identify, status, history: one JSON object a line\n"
           "  --firmware FILE   station: flash this .bin into every device\n"
           "  --config FILE     station: write this .cfg to every device\n"
           "  --report FILE     station: append one CSV line per device to FILE\n"
           "  --count N         station: end after N devices (default: at Ctrl+C)\n"
           "  --watch           status: a new report whenever the status bits are read\n"
           "  --remote CODE     work on the device of a remote-access session instead of USB:\n"
           "                    the program that logged in with CODE (identify, read, write,\n"
           "                    defaults, flash, status, send, restore)\n"
           "  --relay-socket PATH  the remote-access server's technician socket (default\n"
           "                    $QN718_RELAY_SOCKET, else /run/qn718-relay/technician.sock)\n"
           "  -q, --quiet       no progress and no success messages, errors only\n"
           "  -h, --help        print this help and exit\n"
           "  -V, --version     print the version and exit\n"
           "\n"
           "Messages go to standard error, results to standard output.\n"
           "The tool refuses to run while the programmer window runs (not so with --remote).\n"
           "\n"
           "Exit status:\n"
           "  0  success\n"
           "  1  device error: an exchange failed, a write did not verify, the device went away\n"
           "     (remote: also the session ended or the program's answers made no sense)\n"
           "  2  invalid input: command line, file or data refused; nothing was written\n"
           "  3  no device found within the wait (remote: the server cannot be reached or\n"
           "     refused the code)\n"
           "  4  device refused: incompatible type or firmware, in its bootloader (except for\n"
           "     flash), or firmware for other hardware\n"
           "  5  the programmer window or another copy of the tool is running\n"
           "\n"
           "See qn718-cli(1).\n";
}

std::string cli_version_text() {
    // The window's version line is the one source of the version number; the demo build
    // answers with the same line, as the window's demo does.
    const std::string window = version_text();
    return "qn718-cli" + window.substr(window.find(' '));
}
