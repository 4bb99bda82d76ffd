// The command-line tool's own messages, in the four interface languages. Texts the window
// already has (configuration saved, write error, ...) come from the program's language tables
// instead, so that the tool and the window say the same thing in the same words.
#pragma once

enum class CliText : int {
    try_help,           // "Try '%s --help'."
    unknown_option,     // "Unknown option: %s"
    missing_value,      // "The option %s needs a value."
    bad_wait,           // "--wait takes whole seconds from 0 to 3600, not: %s"
    unknown_language,   // "Unknown language code: %s (en, pl, cs or sk)"
    no_command,         // "No command given."
    unknown_command,    // "Unknown command: %s"
    missing_argument,   // "The command %s needs a file name."
    extra_argument,     // "Unexpected argument: %s"
    option_not_here,    // "The option %s does not go with the command %s."
    window_running,     // "The programmer window (%s) is running: ..."
    copy_running,       // "Another copy of this tool is running: ..."
    bootloader_mode,    // "The device waits in its bootloader: ..."
    no_greeting,        // "The device did not answer the greeting."
    unconfirmed,        // "The device did not confirm its firmware version."
    not_a_config_file,  // "%s holds no configuration lines."
    bad_command_code,   // "The command must be two hex digits: %s"
    data_too_long,      // "The data is longer than one frame carries."
    no_reply,           // "The device sent no reply with code 01."
    wrong_type,         // "The device is of type %s; this program works with type 718 only."
    missing_entry,      // "The command %s needs a history entry number or --last."
    bad_entry_number,   // "Not a history entry number: %s"
    bad_count,          // "--count takes a number of devices from 1 to 100000, not: %s"
    // "The option %s goes with --remote CODE only."
    remote_option_alone,
    // "Not a session code: %s"
    bad_session_code,
    // "Cannot reach the remote-access server at %s: %s"
    relay_unreachable,
    // "The remote-access server refused the code: %s"
    relay_refused,
    // "The remote-access server at %s did not answer as expected."
    relay_no_answer,
    // "The remote session ended: the customer's program or the server closed it."
    relay_gone,
    // "The customer's program sent bytes that are no answer; the session was ended."
    relay_garbage,
    // "The customer's program did not answer in time."
    relay_timed_out,
    // "The firmware image reached the customer's program damaged; nothing was flashed."
    relay_damaged_upload,
};
constexpr int kCliTextCount = 32;

// The entry in a given language (an index of LanguageList).
const char* cli_text_in(int language, CliText entry);
