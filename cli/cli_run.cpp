#include "cli/cli_run.h"

#include <hidapi.h>

#include <chrono>
#include <csignal>
#include <optional>

#include "app/device_access_hint.h"
#include "app/language.h"
#include "app/single_instance.h"
#include "app/user_settings.h"
#include "cli/cli_arguments.h"
#include "cli/cli_format.h"
#include "cli/exit_status.h"
#include "cli/plain_page.h"
#include "cli/terminal_flash_host.h"
#include "config/cfg_file.h"
#include "config/config_operations.h"
#include "config/vehicle_lookup.h"
#include "console/console_command.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "device/identification.h"
#include "device/live_status.h"
#include "firmware/firmware_image.h"
#include "firmware/flasher.h"
#include "platform/files.h"
#include "platform/hid_access.h"
#include "platform/processes.h"
#include "platform/user_locale.h"

namespace {

constexpr const char* kWindowPrograms[] = {"qn718-programmer", "qn718-programmer-demo"};

// A main-loop pass of the window: its pause between steps, the tool's too.
constexpr int kPassPauseMs = 10;
constexpr int kSearchPauseMs = 100;
// Greeting passes before the device counts as silent: a few seconds.
constexpr int kGreetingPasses = 100;
// The window greets for ever while the sub-version does not come; the tool asks this often.
constexpr int kIdentifyAttempts = 3;
// Passes in which one status read-out must complete: the status bits come every 8th pass.
constexpr int kStatusPasses = 64;

volatile std::sig_atomic_t g_stop_requested = 0;

extern "C" void request_stop(int) {
    g_stop_requested = 1;
}

std::string base_name(const char* path) {
    return program_file_name(path ? path : "qn718-cli");
}

void choose_message_language(const std::string& requested) {
    load_user_settings();
    std::string code = requested;
    if (code.empty())
        code = user_settings().language;
    if (code.empty() || language_index_of(code) < 0)
        code = user_locale_language();
    const int index = language_index_of(code);
    set_current_language(index >= 0 ? index : kEnglish);
}

class Session {
   public:
    Session(const CliArguments& arguments, const CliStreams& io) : a_(arguments), io_(io) {
        // Device log lines belong to the console; the tool has none to show them in.
        link_.set_listeners({});
    }

    int run_subcommand();

   private:
    // Errors are always shown; notes (success, progress, warnings) not with --quiet.
    void error(const std::string& text) { std::fprintf(io_.err, "%s\n", text.c_str()); }
    void note(const std::string& text) {
        if (!a_.quiet)
            error(text);
    }

    OpenResult find_device();
    int no_device();
    std::optional<DeviceIdentity> greet();
    int connect();
    int page_status(const PlainPage& page, bool saved);

    int identify();
    int read_configuration();
    int write_configuration();
    int defaults();
    int flash();
    int status();
    int send();

    const CliArguments& a_;
    const CliStreams& io_;
    DeviceLink link_;
    std::optional<Identification> identification_;
};

OpenResult Session::find_device() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(a_.wait_seconds);
    for (;;) {
        const OpenResult opened = link_.open();
        if (opened != OpenResult::nothing || std::chrono::steady_clock::now() >= deadline)
            return opened;
        link_.pause(kSearchPauseMs);
    }
}

int Session::no_device() {
    error(lang_text(Text::no_usb_device));
    // hidapi does not see a device that this user may not open; saying why saves a search.
    if (const auto problem = find_hid_access_problem(kDeviceVendorId)) {
        const DeviceAccessHint hint = device_access_hint(*problem);
        error(hint.status + "\n" + hint.details);
    }
    return kExitNoDevice;
}

// The window's greeting: command 1 until the device answers with reply 7 (2, 1), then
// command 4, until the identity reply comes.
std::optional<DeviceIdentity> Session::greet() {
    bool greeted = false;
    link_.poll();
    for (int pass = 0; pass < kGreetingPasses && link_.is_open(); ++pass) {
        if (link_.poll()) {
            const DeviceReply& reply = link_.reply();
            if (is_greeting_answer(reply)) {
                greeted = true;
            } else if (reply.code() == reply::kIdentity) {
                if (const auto identity = decode_identity(reply))
                    return identity;
            }
        }
        link_.send_frame(greeted ? command::kIdentify : command::kGreeting);
        link_.pause(kPassPauseMs);
    }
    return std::nullopt;
}

int Session::connect() {
    const OpenResult opened = find_device();
    if (opened == OpenResult::nothing)
        return no_device();
    if (opened == OpenResult::bootloader) {
        error(cli_text(CliText::bootloader_mode));
        return kExitRefused;
    }
    for (int attempt = 0; attempt < kIdentifyAttempts; ++attempt) {
        const std::optional<DeviceIdentity> identity = greet();
        if (!identity) {
            error(cli_text(CliText::no_greeting));
            return kExitDeviceError;
        }
        // The vehicle lookup hides rows this firmware cannot use, as the window's lists do.
        set_firmware_number(identity->firmware_number());
        identification_ = identify_device(link_, *identity, false);
        if (identification_->outcome == IdentifyOutcome::incompatible) {
            const SubVersion sub = identification_->sub_version.value_or(SubVersion{});
            char text[400];
            std::snprintf(text, sizeof text, lang_text(Text::incompatible_firmware),
                          identity->type_code, identity->firmware_high, identity->firmware_low,
                          sub.a, sub.b);
            error(text);
            return kExitRefused;
        }
        if (identification_->outcome == IdentifyOutcome::connected) {
            if (identification_->old_firmware_warning)
                note(lang_text(Text::firmware_too_old_warning));
            return kExitSuccess;
        }
    }
    error(cli_text(CliText::unconfirmed));
    return kExitRefused;
}

int Session::identify() {
    const int outcome = connect();
    // An incompatible or unconfirmed device is still described: that is what one asks for.
    if (identification_)
        std::fputs(
            (a_.json ? identify_json(*identification_) : identify_text(*identification_)).c_str(),
            io_.out);
    return outcome;
}

// Reports what save_configuration showed and turns it into the exit status.
int Session::page_status(const PlainPage& page, bool saved) {
    const Text last = page.messages().empty() ? Text::write_error : page.messages().back();
    if (!saved) {
        error(lang_text(last));
        return last == Text::bad_can_level ? kExitInvalidInput : kExitDeviceError;
    }
    note(lang_text(last));
    return kExitSuccess;
}

int Session::read_configuration() {
    if (const int outcome = connect())
        return outcome;
    PlainPage page;
    if (!load_configuration(link_, page, LoadKind::silently)) {
        error(lang_text(Text::config_load_error));
        return kExitDeviceError;
    }
    // The lines "Save to disk" writes, CR LF included, also on standard output: redirected,
    // it makes the same file.
    const std::string text = write_config_text(page);
    if (a_.file.empty()) {
        std::fwrite(text.data(), 1, text.size(), io_.out);
        return kExitSuccess;
    }
    if (!write_whole_file(a_.file, text)) {
        error(fill_message(lang_text(Text::error_writing_file), a_.file));
        return kExitInvalidInput;
    }
    return kExitSuccess;
}

int Session::write_configuration() {
    std::string data;
    if (!read_whole_file(a_.file, kConfigFileMaxBytes, data)) {
        error(fill_message(lang_text(Text::error_opening_file), a_.file));
        return kExitInvalidInput;
    }
    // The level that "Save" will check is the last canlevel line's; a bad one is refused
    // before the device is touched at all.
    bool known_key = false;
    const std::vector<ConfigLine> lines = split_config_lines(data);
    const std::string* level = nullptr;
    for (const ConfigLine& line : lines) {
        for (const ConfigKeyEntry* entry = ConfigKeyTable; entry->key; ++entry)
            known_key = known_key || line.key == entry->key;
        if (line.key == "canlevel")
            level = &line.value;
    }
    if (!known_key) {
        error(fill_message(cli_text(CliText::not_a_config_file), a_.file));
        return kExitInvalidInput;
    }
    int32_t parsed_level = 0;
    if (level && !parse_can_level_text(*level, &parsed_level)) {
        error(lang_text(Text::bad_can_level));
        return kExitInvalidInput;
    }

    if (const int outcome = connect())
        return outcome;
    // Keys the file lacks keep the device's values, as on the page that loaded the file.
    PlainPage page;
    if (!load_configuration(link_, page, LoadKind::silently)) {
        error(lang_text(Text::config_load_error));
        return kExitDeviceError;
    }
    read_config_text(page, data);
    const bool saved = save_configuration(link_, page);
    return page_status(page, saved);
}

int Session::defaults() {
    if (const int outcome = connect())
        return outcome;
    PlainPage page;
    load_configuration(link_, page, LoadKind::defaults);
    const bool saved = save_configuration(link_, page);
    return page_status(page, saved);
}

int Session::flash() {
    std::string bytes;
    if (!read_whole_file(a_.file, kFirmwareBufferSize, bytes)) {
        error(fill_message(lang_text(Text::error_opening_file), a_.file));
        return kExitInvalidInput;
    }
    // Checked before the device is looked for: a wrong file must not switch it to its
    // bootloader.
    FirmwareImage& image = firmware_image();
    if (load_firmware_image(image, bytes) != FirmwareFileCheck::good) {
        error(lang_text(Text::file_corrupted));
        return kExitInvalidInput;
    }

    const OpenResult opened = find_device();
    if (opened == OpenResult::nothing)
        return no_device();
    FlashMode mode = FlashMode::from_application;
    if (opened == OpenResult::bootloader) {
        link_.close();
        mode = FlashMode::from_bootloader;
    }
    TerminalFlashHost host(a_.file, io_.err, io_.err_is_terminal, a_.quiet);
    const FlashResult result = flash_firmware(link_, image, mode, host);
    host.finish_line();
    switch (result) {
        case FlashResult::programmed:
            note(lang_text(Text::programmed));
            return kExitSuccess;
        case FlashResult::nothing_done:
        case FlashResult::file_unusable:
        case FlashResult::file_unreadable:
        case FlashResult::file_corrupted:
            // The file changed after the check above.
            if (host.rejection() == FileProblem::cannot_open)
                error(fill_message(lang_text(Text::error_opening_file), a_.file));
            else
                error(lang_text(Text::file_corrupted));
            return kExitInvalidInput;
        case FlashResult::firmware_too_large:
            // The window's text, the same in every language.
            error("Firmware too large.");
            return kExitInvalidInput;
        case FlashResult::hardware_incompatible:
            error(lang_text(Text::incompatible_hardware));
            return kExitRefused;
        case FlashResult::write_error:
            break;
    }
    error(lang_text(Text::write_error));
    return kExitDeviceError;
}

int Session::status() {
    if (const int outcome = connect())
        return outcome;
    if (a_.watch) {
        g_stop_requested = 0;
        std::signal(SIGINT, request_stop);
        std::signal(SIGTERM, request_stop);
    }
    // The window's live read-out, pass by pass: the speed is asked every 16th pass, the
    // status bits every 8th.
    LiveStatus live;
    StatusSample sample;
    sample.speed_text = StatusIndicatorTable[kSpeedIndicator].label;
    bool have_speed = false;
    bool have_bits = false;
    auto print = [&] {
        const std::string text =
            a_.json ? status_json(sample) : status_text(sample) + (a_.watch ? "\n" : "");
        std::fputs(text.c_str(), io_.out);
        std::fflush(io_.out);
    };
    for (int pass = 0;; ++pass) {
        if (g_stop_requested)
            return kExitSuccess;
        if (!link_.is_open()) {
            error(lang_text(Text::disconnected));
            return kExitDeviceError;
        }
        std::optional<DeviceReply> fresh;
        if (link_.poll())
            fresh = link_.reply();
        const LiveStatusUpdate update = live.step(link_, fresh ? &*fresh : nullptr);
        if (update.speed_text) {
            sample.speed_text = *update.speed_text;
            have_speed = true;
        }
        if (update.lit) {
            sample.lit = *update.lit;
            have_bits = true;
            if (a_.watch)
                print();
        }
        if (!a_.watch && have_bits && (have_speed || pass >= kStatusPasses)) {
            print();
            return kExitSuccess;
        }
        if (!a_.watch && pass >= kStatusPasses) {
            error(lang_text(Text::request_failed));
            return kExitDeviceError;
        }
        link_.pause(kPassPauseMs);
    }
}

int Session::send() {
    uint8_t code = 0;
    if (a_.command_code.size() != 2 || parse_hex_bytes(&code, a_.command_code, 1) != 1) {
        error(fill_message(cli_text(CliText::bad_command_code), a_.command_code));
        return kExitInvalidInput;
    }
    if (parse_console_data(a_.data).size() > static_cast<size_t>(kMaxCommandPayload)) {
        error(cli_text(CliText::data_too_long));
        return kExitInvalidInput;
    }
    if (const int outcome = connect())
        return outcome;
    const ConsoleSendResult result =
        console_send(link_, command_history(), {a_.command_code, a_.data, true});
    if (!result.delivered) {
        error(lang_text(Text::write_error));
        return kExitDeviceError;
    }
    // Several commands never answer with code 01 (store, bootloader switch): not a failure.
    if (result.response.empty())
        note(cli_text(CliText::no_reply));
    else
        std::fprintf(io_.out, "%s%s", result.response.c_str(),
                     result.response.back() == '\n' ? "" : "\n");
    return kExitSuccess;
}

int Session::run_subcommand() {
    switch (a_.command) {
        case CliCommand::identify:
            return identify();
        case CliCommand::read:
            return read_configuration();
        case CliCommand::write:
            return write_configuration();
        case CliCommand::defaults:
            return defaults();
        case CliCommand::flash:
            return flash();
        case CliCommand::status:
            return status();
        case CliCommand::send:
            return send();
        case CliCommand::none:
            break;
    }
    return kExitInvalidInput;
}

}  // namespace

std::string running_window_program(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        for (const char* window : kWindowPrograms) {
            // Windows lists its programs with their ".exe".
            if (name == window || name == std::string(window) + ".exe")
                return name;
        }
    }
    return "";
}

int run_cli(int argc, const char* const* argv, const CliStreams& io) {
    const std::string program = base_name(argc > 0 ? argv[0] : nullptr);
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const ParsedArguments parsed = parse_arguments(args);
    const CliArguments& a = parsed.arguments;
    if (a.help || a.version) {
        std::fputs((a.help ? cli_help_text(program) : cli_version_text()).c_str(), io.out);
        return kExitSuccess;
    }
    choose_message_language(language_index_of(a.language) >= 0 ? a.language : "");
    if (!parsed.ok) {
        const ArgumentError& e = parsed.error;
        std::fprintf(io.err, "%s\n%s\n",
                     fill_message(cli_text(e.message), e.subject, e.command).c_str(),
                     fill_message(cli_text(CliText::try_help), program).c_str());
        return kExitInvalidInput;
    }

    std::vector<std::string> names;
    for (const RunningProgram& running : running_programs())
        names.push_back(running.name);
    const std::string window = running_window_program(names);
    if (!window.empty()) {
        std::fprintf(io.err, "%s\n",
                     fill_message(cli_text(CliText::window_running), window).c_str());
        return kExitProgramRunning;
    }
    if (other_copy_running(argc > 0 ? argv[0] : nullptr)) {
        std::fprintf(io.err, "%s\n", cli_text(CliText::copy_running));
        return kExitProgramRunning;
    }

    if (hid_init() != 0) {
        std::fprintf(io.err, "ERROR: %s\n", "hid_init");
        return kExitDeviceError;
    }
    return Session(a, io).run_subcommand();
}
