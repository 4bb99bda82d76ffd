#include "cli/cli_run.h"

#include <chrono>
#include <memory>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>

#include "app/device_access_hint.h"
#include "app/history_text.h"
#include "app/language.h"
#include "app/single_instance.h"
#include "app/user_settings.h"
#include "cli/cli_arguments.h"
#include "cli/cli_format.h"
#include "cli/exit_status.h"
#include "cli/station_format.h"
#include "cli/terminal_flash_host.h"
#include "config/cfg_file.h"
#include "config/config_history.h"
#include "config/config_messages.h"
#include "config/config_operations.h"
#include "config/vehicle_lookup.h"
#include "console/console_command.h"
#include "device/connection_machine.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "device/hid_port.h"
#include "device/identification.h"
#include "device/live_status.h"
#include "firmware/firmware_image.h"
#include "firmware/flasher.h"
#include "platform/files.h"
#include "platform/hid_access.h"
#include "platform/kept_file.h"
#include "platform/processes.h"
#include "platform/user_locale.h"
#include "remote/relay_client.h"
#include "remote/relay_flasher.h"
#include "remote/technician_channel.h"

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
// At the station a device restarting after its flash, or slow to enumerate, gets this long.
constexpr int kStationReconnectSeconds = 20;
// How long the server waits for the customer's program to log in with the code.
constexpr int kAttachSeconds = 30;

volatile std::sig_atomic_t g_stop_requested = 0;

extern "C" void request_stop(int) {
    g_stop_requested = 1;
}

std::string base_name(const char* path) {
    return program_file_name(path ? path : "qn718-cli");
}

int choose_message_language(const std::string& requested) {
    std::string code = requested;
    if (code.empty())
        code = load_user_settings().language;
    if (code.empty() || language_index_of(code) < 0)
        code = user_locale_language();
    const int index = language_index_of(code);
    return index >= 0 ? index : kEnglish;
}

// One run of the tool: the link, and what the window program keeps for its whole run (the
// console's history and record, the firmware image) kept for this one command.
class Session {
   public:
    Session(const CliArguments& arguments, const CliStreams& io, int language)
        : a_(arguments), io_(io), language_(language), wait_seconds_(arguments.wait_seconds) {
        // Device log lines belong to the console; the tool has none to show them in.
        link_.set_listeners({});
    }

    int run_subcommand();
    // The same command on the device of a remote-access session.
    int run_remote();

   private:
    const char* lang_text(Text entry) const { return lang_text_in(language_, entry); }
    const char* cli_text(CliText entry) const { return cli_text_in(language_, entry); }
    const char* history_text(HistoryText entry) const { return history_text_in(language_, entry); }

    // Errors are always shown; notes (success, progress, warnings) not with --quiet.
    void error(const std::string& text) {
        last_error_ = text;
        std::fprintf(io_.err, "%s\n", text.c_str());
    }
    void note(const std::string& text) {
        if (!a_.quiet)
            error(text);
    }

    int attach();
    OpenResult find_device();
    int no_device();
    int connect();
    int save_record(const ConfigRecord& record);
    KeepHeldBlock history_keeper();
    int check_config_file(const std::string& file, std::string& data);
    int write_config_data(const std::string& data);
    int check_firmware_file(const std::string& file);
    StationLine station_device(OpenResult found);
    bool wait_for_unplug();

    int identify();
    int read_configuration();
    int write_configuration(const std::string& file);
    int defaults();
    int flash(const std::string& file);
    int status();
    int send();
    int history();
    int restore();
    int station();

    const CliArguments& a_;
    const CliStreams& io_;
    const int language_;
    DeviceLink link_;
    CommandHistory history_;
    TrafficLog traffic_;
    const std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
    uint32_t firmware_number_ = 0;  // the vehicle lookup hides rows this firmware cannot use
    std::optional<Identification> identification_;
    int wait_seconds_;
    std::string last_error_;  // the last error shown: a station line says why with it
    // The link's transport in a remote session.
    RelayClient* relay_ = nullptr;
};

OpenResult Session::find_device() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds_);
    for (;;) {
        const OpenResult opened = link_.open();
        if (opened != OpenResult::nothing || std::chrono::steady_clock::now() >= deadline)
            return opened;
        link_.pause(kSearchPauseMs);
    }
}

int Session::no_device() {
    // A lost session is told by run_remote; no device there is not for want of one.
    if (relay_ && relay_->problem() != RelayProblem::none)
        return kExitDeviceError;
    error(lang_text(Text::no_usb_device));
    // hidapi does not see a device that this user may not open; saying why saves a search.
    if (const auto problem = relay_ ? std::nullopt : find_hid_access_problem(kDeviceVendorId)) {
        const DeviceAccessHint hint = device_access_hint(*problem, language_);
        error(hint.status + "\n" + hint.details);
    }
    return kExitNoDevice;
}

int Session::connect() {
    ConnectionMachine machine(link_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(wait_seconds_);
    int attempts = 0;
    int greeting_passes = 0;
    for (;;) {
        if (machine.state() != ConnectionState::searching) {
            // The device is given a few seconds to answer the greeting with its identity.
            if (!link_.is_open() || greeting_passes == kGreetingPasses) {
                error(cli_text(CliText::no_greeting));
                return kExitDeviceError;
            }
            ++greeting_passes;
        }
        int pause_ms = kPassPauseMs;
        for (const ConnectionEvent& event : machine.step(false)) {
            switch (event.kind) {
                case ConnectionEventKind::nothing_found:
                    if (std::chrono::steady_clock::now() >= deadline)
                        return no_device();
                    pause_ms = kSearchPauseMs;
                    break;
                case ConnectionEventKind::bootloader_found:
                    error(cli_text(CliText::bootloader_mode));
                    return kExitRefused;
                case ConnectionEventKind::device_found:
                    pause_ms = 0;
                    break;
                case ConnectionEventKind::identified:
                    // The vehicle lookup hides rows this firmware cannot use, as the window's
                    // lists do.
                    firmware_number_ = event.identification.identity.firmware_number();
                    identification_ = event.identification;
                    pause_ms = 0;
                    if (event.identification.outcome != IdentifyOutcome::unconfirmed)
                        break;
                    // Each attempt starts with a greeting of its own.
                    if (++attempts == kIdentifyAttempts) {
                        error(cli_text(CliText::unconfirmed));
                        return kExitRefused;
                    }
                    machine.restart_greeting();
                    greeting_passes = 0;
                    break;
                case ConnectionEventKind::incompatible:
                    error(incompatible_firmware_text(lang_text(Text::incompatible_firmware),
                                                     event.identification.identity,
                                                     event.sub_version));
                    return kExitRefused;
                case ConnectionEventKind::connected:
                    if (event.identification.old_firmware_warning)
                        note(lang_text(Text::firmware_too_old_warning));
                    return kExitSuccess;
                default:
                    break;
            }
        }
        if (pause_ms > 0)
            link_.pause(pause_ms);
    }
}

int Session::identify() {
    const int outcome = connect();
    // An incompatible or unconfirmed device is still described: that is what one asks for.
    if (identification_)
        std::fputs((a_.json ? identify_json(*identification_, language_)
                            : identify_text(*identification_, language_))
                       .c_str(),
                   io_.out);
    return outcome;
}

// Writes the record as the page would (its car number from the vehicle selection's rules),
// reports the outcome and turns it into the exit status.
int Session::save_record(const ConfigRecord& record) {
    ConfigRecord shown = record;
    shown.car_number = static_cast<uint16_t>(
        selected_car_for(record.can_level, record.car_number, firmware_number_));
    const SaveOutcome outcome = save_configuration(link_, shown, history_keeper());
    const std::optional<Text> message = save_message(outcome);
    if (saved(outcome)) {
        note(lang_text(*message));
        return kExitSuccess;
    }
    // Without a message the keeper has said why; nothing was written.
    if (message)
        error(lang_text(*message));
    return outcome == SaveOutcome::bad_level || outcome == SaveOutcome::history_not_kept
               ? kExitInvalidInput
               : kExitDeviceError;
}

int Session::read_configuration() {
    if (const int outcome = connect())
        return outcome;
    std::optional<ConfigRecord> record = load_configuration(link_);
    if (!record) {
        error(lang_text(Text::config_load_error));
        return kExitDeviceError;
    }
    // The lines "Save to disk" writes for the page that shows this block, CR LF included, also
    // on standard output: redirected, it makes the same file.
    record->car_number = static_cast<uint16_t>(
        selected_car_for(record->can_level, record->car_number, firmware_number_));
    const std::string text = encode_cfg(*record);
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

// Keeps the block the device holds before every write; a write whose history cannot be kept
// is not made, since getting the old configuration back is the point of the history.
KeepHeldBlock Session::history_keeper() {
    return [this](const ConfigBlock& held) {
        const std::string folder = history_folder();
        const DeviceIdentity device =
            identification_ ? identification_->identity : DeviceIdentity{};
        if (keep_history_entry(folder, describe_held_block(held, device)))
            return true;
        error(fill_message(history_text(HistoryText::keep_failed), folder));
        return false;
    };
}

int Session::write_configuration(const std::string& file) {
    std::string data;
    if (const int outcome = check_config_file(file, data))
        return outcome;
    return write_config_data(data);
}

// Reads a .cfg file and refuses one the device must not get, before the device is touched.
int Session::check_config_file(const std::string& file, std::string& data) {
    if (!read_whole_file(file, kConfigFileMaxBytes, data)) {
        error(fill_message(lang_text(Text::error_opening_file), file));
        return kExitInvalidInput;
    }
    // A file the device must not get is refused before the device is touched at all.
    const std::optional<CfgProblem> problem = decode_cfg(data, ConfigRecord{}).problem;
    if (problem == CfgProblem::no_configuration_lines) {
        error(fill_message(cli_text(CliText::not_a_config_file), file));
        return kExitInvalidInput;
    }
    if (problem == CfgProblem::bad_level) {
        error(lang_text(Text::bad_can_level));
        return kExitInvalidInput;
    }
    return kExitSuccess;
}

int Session::write_config_data(const std::string& data) {
    if (const int outcome = connect())
        return outcome;
    // Keys the file lacks keep the device's values, as on the page that loaded the file.
    const std::optional<ConfigRecord> held = load_configuration(link_);
    if (!held) {
        error(lang_text(Text::config_load_error));
        return kExitDeviceError;
    }
    const CfgDecoded decoded = decode_cfg(data, *held);
    if (decoded.problem) {
        // Checked before the device was touched, so this does not happen.
        error(lang_text(Text::bad_can_level));
        return kExitInvalidInput;
    }
    return save_record(decoded.record);
}

int Session::defaults() {
    if (const int outcome = connect())
        return outcome;
    return save_record(default_configuration());
}

// Loads the firmware file into the image and checks it.
int Session::check_firmware_file(const std::string& file) {
    std::string bytes;
    if (!read_whole_file(file, kFirmwareBufferSize, bytes)) {
        error(fill_message(lang_text(Text::error_opening_file), file));
        return kExitInvalidInput;
    }
    if (load_firmware_image(*image_, bytes) != FirmwareFileCheck::good) {
        error(lang_text(Text::file_corrupted));
        return kExitInvalidInput;
    }
    return kExitSuccess;
}

int Session::flash(const std::string& file) {
    // Checked before the device is looked for: a wrong file must not switch it to its
    // bootloader.
    if (const int outcome = check_firmware_file(file))
        return outcome;
    FirmwareImage& image = *image_;

    const OpenResult opened = find_device();
    if (opened == OpenResult::nothing)
        return no_device();
    FlashMode mode = FlashMode::from_application;
    if (opened == OpenResult::bootloader) {
        link_.close();
        mode = FlashMode::from_bootloader;
    }
    TerminalFlashHost host(file, io_.err, io_.err_is_terminal, a_.quiet, language_);
    const FlashResult result =
        relay_ ? flash_over_relay(link_, *relay_, image, mode == FlashMode::from_bootloader, host)
               : flash_firmware(link_, image, mode, host);
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
                error(fill_message(lang_text(Text::error_opening_file), file));
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
        case FlashResult::link_busy:  // nothing else runs on the tool's link
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
        console_send(link_, history_, traffic_, {a_.command_code, a_.data, true});
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

int Session::history() {
    const ConfigHistoryListing listing = list_history(history_folder());
    for (const std::string& path : listing.skipped)
        error(fill_message(history_text(HistoryText::skipped_entry), path));
    if (listing.entries.empty())
        note(history_text(HistoryText::no_entries));
    for (const ConfigHistoryEntry& entry : listing.entries)
        std::fputs((a_.json ? history_json(entry) : history_line(entry)).c_str(), io_.out);
    return kExitSuccess;
}

int Session::restore() {
    const ConfigHistoryListing listing = list_history(history_folder());
    for (const std::string& path : listing.skipped)
        note(fill_message(history_text(HistoryText::skipped_entry), path));
    const ConfigHistoryEntry* chosen = nullptr;
    for (const ConfigHistoryEntry& entry : listing.entries) {
        if (a_.last ? !chosen : entry.number == a_.entry)
            chosen = &entry;
    }
    if (!chosen) {
        error(a_.last ? history_text(HistoryText::no_entries)
                      : fill_message(history_text(HistoryText::no_such_entry),
                                     std::to_string(a_.entry)));
        return kExitInvalidInput;
    }
    // The entry is a .cfg file; the device's block before this write becomes an entry too.
    return write_configuration(chosen->path);
}

// Waits until the device is gone: the open link notices on the poll that fails. A link that an
// error closed is opened again to see whether the device is still there.
bool Session::wait_for_unplug() {
    for (;;) {
        if (g_stop_requested)
            return false;
        if (link_.is_open()) {
            link_.poll();
            // Closed by the poll: the device left. Opening again now could find the next one
            // and take it for this.
            if (!link_.is_open())
                return true;
        } else if (link_.open() == OpenResult::nothing) {
            return true;
        }
        link_.pause(kSearchPauseMs);
    }
}

// One device, from its discovery to its line. Each step stops the device at its first failure.
StationLine Session::station_device(OpenResult found) {
    const auto started = std::chrono::steady_clock::now();
    StationLine line;
    line.type = "-";
    line.firmware_before = "-";
    line.firmware_after = "-";
    last_error_.clear();
    identification_.reset();
    auto fail = [&](int outcome) {
        if (outcome == kExitSuccess)
            return false;
        line.reason = last_error_.empty() ? lang_text(Text::write_error) : last_error_;
        return true;
    };
    auto firmware_of = [](const Identification& identified) {
        const DeviceIdentity& id = identified.identity;
        char text[16];
        std::snprintf(text, sizeof text, "%02d%02d", id.firmware_high, id.firmware_low);
        return std::string(text);
    };
    bool failed = false;
    if (found == OpenResult::bootloader) {
        line.firmware_before = "bootloader";
        if (a_.station_firmware.empty()) {
            error(cli_text(CliText::bootloader_mode));
            failed = fail(kExitRefused);
        }
    } else {
        failed = fail(connect());
        if (identification_) {
            line.type = "QN" + std::to_string(identification_->identity.type_code);
            line.firmware_before = firmware_of(*identification_);
        }
    }
    if (!failed && !a_.station_firmware.empty())
        failed = fail(flash(a_.station_firmware));
    if (!failed && !a_.station_config.empty())
        failed = fail(write_configuration(a_.station_config));
    if (!failed) {
        failed = fail(connect());
        if (identification_) {
            line.type = "QN" + std::to_string(identification_->identity.type_code);
            line.firmware_after = firmware_of(*identification_);
        }
    }
    line.passed = !failed;
    line.time = time_stamp_now();
    line.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return line;
}

int Session::station() {
    // Every file is checked before the first device is touched.
    if (!a_.station_firmware.empty()) {
        if (const int outcome = check_firmware_file(a_.station_firmware))
            return outcome;
    }
    if (!a_.station_config.empty()) {
        std::string data;
        if (const int outcome = check_config_file(a_.station_config, data))
            return outcome;
    }
    const std::string& report = a_.station_report;
    if (!report.empty()) {
        std::string existing;
        const bool fresh = !read_whole_file(report, 1, existing) || existing.empty();
        if (!append_to_file(report, fresh ? kStationReportHeader : "")) {
            error(fill_message(lang_text(Text::error_writing_file), report));
            return kExitInvalidInput;
        }
    }
    g_stop_requested = 0;
    std::signal(SIGINT, request_stop);
    std::signal(SIGTERM, request_stop);

    int devices = 0;
    int passed = 0;
    bool report_lost = false;
    while (!g_stop_requested && (a_.count == 0 || devices < a_.count)) {
        note(history_text(HistoryText::station_waiting));
        OpenResult found = OpenResult::nothing;
        while (!g_stop_requested && (found = link_.open()) == OpenResult::nothing)
            link_.pause(kSearchPauseMs);
        if (found == OpenResult::nothing)
            break;
        wait_seconds_ = kStationReconnectSeconds;
        const StationLine line = station_device(found);
        ++devices;
        passed += line.passed ? 1 : 0;
        std::fputs(station_text_line(line).c_str(), io_.out);
        std::fflush(io_.out);
        if (!report.empty() && !append_to_file(report, station_csv_line(line))) {
            error(fill_message(lang_text(Text::error_writing_file), report));
            report_lost = true;
        }
        if (a_.count != 0 && devices >= a_.count)
            break;
        note(history_text(HistoryText::station_next));
        if (!wait_for_unplug())
            break;
    }
    link_.close();
    char totals[200];
    std::snprintf(totals, sizeof totals, history_text(HistoryText::station_totals), devices, passed,
                  devices - passed);
    // The totals end the run's output, also with --quiet.
    std::fprintf(io_.out, "%s\n", totals);
    return passed == devices && !report_lost ? kExitSuccess : kExitDeviceError;
}

int Session::run_subcommand() {
    switch (a_.command) {
        case CliCommand::identify:
            return identify();
        case CliCommand::read:
            return read_configuration();
        case CliCommand::write:
            return write_configuration(a_.file);
        case CliCommand::defaults:
            return defaults();
        case CliCommand::flash:
            return flash(a_.file);
        case CliCommand::status:
            return status();
        case CliCommand::send:
            return send();
        case CliCommand::history:
            return history();
        case CliCommand::restore:
            return restore();
        case CliCommand::station:
            return station();
        case CliCommand::none:
            break;
    }
    return kExitInvalidInput;
}

int Session::attach() {
    std::string path = a_.relay_socket;
    if (path.empty()) {
        const char* configured = std::getenv("QN718_RELAY_SOCKET");
        path = configured && *configured ? configured : kDefaultTechnicianSocket;
    }
    auto channel = std::make_unique<TechnicianChannel>();
    const AttachResult attached = channel->attach(path, a_.remote_code, kAttachSeconds);
    switch (attached.outcome) {
        case AttachResult::Outcome::attached:
            break;
        case AttachResult::Outcome::unreachable:
            error(fill_message(cli_text(CliText::relay_unreachable), path, attached.text));
            return kExitNoDevice;
        case AttachResult::Outcome::refused:
            error(fill_message(cli_text(CliText::relay_refused), attached.text));
            return kExitNoDevice;
        case AttachResult::Outcome::no_answer:
            error(fill_message(cli_text(CliText::relay_no_answer), path));
            return kExitNoDevice;
    }
    auto client = std::make_unique<RelayClient>(std::move(channel));
    relay_ = client.get();
    link_.set_transport(std::move(client));
    return kExitSuccess;
}

int Session::run_remote() {
    if (const int outcome = attach())
        return outcome;
    const int outcome = run_subcommand();
    if (outcome == kExitSuccess || relay_->problem() == RelayProblem::none)
        return outcome;
    switch (relay_->problem()) {
        case RelayProblem::none:
        case RelayProblem::gone:
            error(cli_text(CliText::relay_gone));
            break;
        case RelayProblem::garbage:
            error(cli_text(CliText::relay_garbage));
            break;
        case RelayProblem::timed_out:
            error(cli_text(CliText::relay_timed_out));
            break;
        case RelayProblem::damaged_upload:
            error(cli_text(CliText::relay_damaged_upload));
            break;
    }
    // A refused file or a history that could not be kept stays what it was.
    return outcome == kExitInvalidInput ? outcome : kExitDeviceError;
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
    const int language =
        choose_message_language(language_index_of(a.language) >= 0 ? a.language : "");
    if (!parsed.ok) {
        const ArgumentError& e = parsed.error;
        std::fprintf(io.err, "%s\n%s\n",
                     fill_message(cli_text_in(language, e.message), e.subject, e.command).c_str(),
                     fill_message(cli_text_in(language, CliText::try_help), program).c_str());
        return kExitInvalidInput;
    }

    // Remote work leaves this computer's USB alone: the window program that relays may well
    // run here, and several sessions may be served at once.
    if (!a.remote_code.empty())
        return Session(a, io, language).run_remote();

    std::vector<std::string> names;
    for (const RunningProgram& running : running_programs())
        names.push_back(running.name);
    const std::string window = running_window_program(names);
    if (!window.empty()) {
        std::fprintf(io.err, "%s\n",
                     fill_message(cli_text_in(language, CliText::window_running), window).c_str());
        return kExitProgramRunning;
    }
    if (other_copy_running(argc > 0 ? argv[0] : nullptr)) {
        std::fprintf(io.err, "%s\n", cli_text_in(language, CliText::copy_running));
        return kExitProgramRunning;
    }

    if (!start_hidapi()) {
        std::fprintf(io.err, "ERROR: %s\n", "hid_init");
        return kExitDeviceError;
    }
    return Session(a, io, language).run_subcommand();
}
