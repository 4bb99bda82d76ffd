// The tool's command line, its output formats and its flash progress, and whole runs of the
// tool in this process against the simulated device (fast time-outs).
#include <gtest/gtest.h>
#include <hidapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/history_text.h"
#include "app/language.h"
#include "cli/cli_arguments.h"
#include "cli/cli_format.h"
#include "cli/cli_run.h"
#include "cli/exit_status.h"
#include "cli/terminal_flash_host.h"
#include "config/config_block.h"
#include "config/config_history.h"
#include "firmware/bootloader_protocol.h"
#include "platform/sleep.h"
#include "sim/sim_control.h"
#include "device/command_codes.h"
#include "support/hang_guard.h"
#ifndef _WIN32
#include "support/technician_socket_stand_in.h"
#endif
#include "support/test_system.h"
#include "unit/firmware_files.h"
#include "unit/interruption_harness.h"

namespace {

// The tool pauses in real time (the open delay, the wait for the bootloader). The sweep below
// runs it thousands of times, so while it runs this program's sleep_ms, linked in place of the
// platform's, only counts.
bool g_sleep_counted = false;
int64_t g_slept_ms = 0;

}  // namespace

void sleep_ms(int milliseconds) {
    if (g_sleep_counted) {
        g_slept_ms += std::max(milliseconds, 0);
        return;
    }
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {

// What a FILE* received, read back from a temporary file.
struct Capture {
    std::FILE* const file = std::tmpfile();
    ~Capture() { std::fclose(file); }
    std::string text() const {
        std::string text(static_cast<size_t>(std::ftell(file)), '\0');
        std::rewind(file);
        text.resize(std::fread(text.data(), 1, text.size(), file));
        return text;
    }
};

}  // namespace

TEST(CliArguments, CommandsOptionsAndTheirPlaces) {
    ParsedArguments p =
        parse_arguments({"--wait", "5", "send", "0A", "\\x00", "--quiet", "--lang", "pl"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.arguments.command, CliCommand::send);
    EXPECT_EQ(p.arguments.command_code, "0A");
    EXPECT_EQ(p.arguments.data, "\\x00");
    EXPECT_EQ(p.arguments.wait_seconds, 5);
    EXPECT_EQ(p.arguments.language, "pl");
    EXPECT_TRUE(p.arguments.quiet);

    // After "--" a file may start with a dash.
    p = parse_arguments({"flash", "--", "-odd.bin"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.arguments.file, "-odd.bin");
    p = parse_arguments({"station", "--count", "3", "--firmware", "f.bin", "--report", "r.csv"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.arguments.count, 3);
    EXPECT_EQ(p.arguments.station_firmware + " " + p.arguments.station_report, "f.bin r.csv");
    EXPECT_EQ(parse_arguments({"restore", "12"}).arguments.entry, 12u);
    p = parse_arguments({"read", "--remote", "482-913-507", "--relay-socket", "/r.sock"});
    ASSERT_TRUE(p.ok);
    EXPECT_EQ(p.arguments.remote_code + " " + p.arguments.relay_socket, "482-913-507 /r.sock");
    EXPECT_TRUE(parse_arguments({"--last", "restore"}).arguments.last);
    // Help wins over every mistake, version too.
    EXPECT_TRUE(parse_arguments({"bogus", "--wait", "x", "-h"}).arguments.help);
    EXPECT_TRUE(parse_arguments({"--nonsense", "-V"}).arguments.version);
}

TEST(CliArguments, MistakesAreNamed) {
    struct Case {
        std::vector<std::string> args;
        CliText message;
        std::string subject;
    };
    const Case cases[] = {
        {{}, CliText::no_command, ""},
        {{"--quiet"}, CliText::no_command, ""},
        {{"erase"}, CliText::unknown_command, "erase"},
        {{"identify", "--force"}, CliText::unknown_option, "--force"},
        {{"identify", "--wait"}, CliText::missing_value, "--wait"},
        {{"--wait", "-1", "identify"}, CliText::bad_wait, "-1"},
        {{"--wait", "3601", "identify"}, CliText::bad_wait, "3601"},
        {{"--wait", "2.5", "identify"}, CliText::bad_wait, "2.5"},
        {{"--lang", "de", "identify"}, CliText::unknown_language, "de"},
        {{"--lang", "pl_PL", "identify"}, CliText::unknown_language, "pl_PL"},
        {{"write"}, CliText::missing_argument, "write"},
        {{"flash", ""}, CliText::missing_argument, "flash"},
        {{"send"}, CliText::missing_argument, "send"},
        {{"identify", "extra"}, CliText::extra_argument, "extra"},
        {{"send", "02", "data", "more"}, CliText::extra_argument, "more"},
        {{"write", "a.cfg", "--cfg", "b.cfg"}, CliText::option_not_here, "--cfg"},
        {{"read", "--json"}, CliText::option_not_here, "--json"},
        {{"identify", "--watch"}, CliText::option_not_here, "--watch"},
        {{"restore"}, CliText::missing_entry, "restore"},
        {{"restore", "0"}, CliText::bad_entry_number, "0"},
        {{"restore", "3x"}, CliText::bad_entry_number, "3x"},
        {{"restore", "3", "--last"}, CliText::option_not_here, "--last"},
        {{"history", "--last"}, CliText::option_not_here, "--last"},
        {{"station", "--count", "0"}, CliText::bad_count, "0"},
        {{"station", "--report"}, CliText::missing_value, "--report"},
        {{"write", "a.cfg", "--config", "b.cfg"}, CliText::option_not_here, "--config"},
        {{"--remote", "482 913", "identify"}, CliText::bad_session_code, "482 913"},
        {{"identify", "--remote"}, CliText::missing_value, "--remote"},
        {{"--relay-socket", "/x.sock", "identify"}, CliText::remote_option_alone, "--relay-socket"},
        {{"--remote", "482-913-507", "station"}, CliText::option_not_here, "--remote"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        const ParsedArguments p = parse_arguments(c.args);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.error.message, c.message);
        EXPECT_EQ(p.error.subject, c.subject);
    }
}

TEST(CliText, EveryLanguageHasEveryEntryWithTheEnglishPlaceholdersHistoryTextsToo) {
    auto placeholders = [](const char* text) {
        std::string found;
        for (const char* p = text; (p = std::strchr(p, '%')) != nullptr; p += 2)
            found += p[1];
        return found;
    };
    for (int language = 0; language < kLanguageCount; ++language) {
        for (int entry = 0; entry < kCliTextCount; ++entry) {
            SCOPED_TRACE(std::to_string(language) + " entry " + std::to_string(entry));
            const char* text = cli_text_in(language, CliText(entry));
            ASSERT_NE(text, nullptr);
            EXPECT_TRUE(valid_utf8(text));
            EXPECT_EQ(placeholders(text), placeholders(cli_text_in(kEnglish, CliText(entry))));
        }
        for (int entry = 0; entry < kHistoryTextCount; ++entry) {
            SCOPED_TRACE(std::to_string(language) + " history entry " + std::to_string(entry));
            const char* text = history_text_in(language, HistoryText(entry));
            ASSERT_NE(text, nullptr);
            EXPECT_TRUE(valid_utf8(text));
            EXPECT_EQ(placeholders(text),
                      placeholders(history_text_in(kEnglish, HistoryText(entry))));
        }
    }
}

TEST(CliFormat, IdentifyForPeopleAndForScripts) {
    Identification connected;
    connected.outcome = IdentifyOutcome::connected;
    connected.identity = {718, 0, 22};
    connected.sub_version = SubVersion{1, 4};
    connected.speed_signal = SpeedSignal::absent;
    EXPECT_EQ(identify_text(connected, kEnglish),
              "device: QN718-0022\ntype: 718\nfirmware: 0022\nsub-version: 1-4\n"
              "compatible: yes\nspeed signal: absent\n");
    EXPECT_EQ(
        identify_json(connected, kEnglish),
        "{\"device\":\"QN718-0022\",\"type\":718,\"firmware\":\"0022\",\"firmware_number\":22,"
        "\"sub_version\":[1,4],\"compatible\":true,\"reason\":null,"
        "\"speed_signal\":\"absent\"}\n");

    // Firmware 20 is never asked about its speed signal; a foreign device never gets that far.
    Identification old = connected;
    old.identity = {718, 0, 20};
    old.old_firmware_warning = true;
    EXPECT_NE(identify_json(old, kEnglish).find("\"speed_signal\":\"not_checked\""),
              std::string::npos);
    Identification foreign;
    foreign.outcome = IdentifyOutcome::incompatible;
    foreign.identity = {719, 1, 2};
    EXPECT_EQ(
        identify_json(foreign, kEnglish),
        "{\"device\":\"QN719-0102\",\"type\":719,\"firmware\":\"0102\",\"firmware_number\":258,"
        "\"sub_version\":null,\"compatible\":false,"
        "\"reason\":\"The device is of type 719; this program works with type 718 only.\","
        "\"speed_signal\":null}\n");
    EXPECT_EQ(identify_text(foreign, kEnglish).find("speed signal"), std::string::npos);
    EXPECT_NE(identify_text(foreign, kEnglish)
                  .find("\ncompatible: no\nreason: The device is of type 719;"),
              std::string::npos);
}

TEST(CliFormat, StatusNamesEveryIndicatorAndTheSpeed) {
    StatusSample sample;
    sample.lit[0] = true;
    sample.lit[8] = true;
    sample.speed_text = "Speed (km/h): -3.05";
    const std::string text = status_text(sample);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kStatusIndicatorCount);
    EXPECT_EQ(text.rfind("[x] OUTPUT_J1-3_FRONT_SENSOR\n[ ] OUTPUT_J1-4_programmable\n", 0), 0u);
    EXPECT_NE(text.find("\nSpeed (km/h): -3.05\n[ ] REVERSE_GEAR (CAN)\n"), std::string::npos);
    EXPECT_NE(text.find("[x] CANbus\n"), std::string::npos);
    const std::string json = status_json(sample);
    EXPECT_NE(json.find("\"OUTPUT_J1-3_FRONT_SENSOR\":true,"), std::string::npos);
    EXPECT_NE(json.find("\"REVERSE_GEAR (wire+_J2-1)\":false,"), std::string::npos);
    EXPECT_NE(json.find("\"speed_kmh\":-3.05}"), std::string::npos);
    sample.speed_text = "Speed (km/h): ---";
    EXPECT_NE(status_json(sample).find("\"speed_kmh\":null}"), std::string::npos);
}

TEST(CliFormat, ProgressBarAndMessages) {
    EXPECT_EQ(progress_bar_line(0.0, "0%", 10), "[          ]   0%");
    EXPECT_EQ(progress_bar_line(0.456, "45%", 10), "[####      ]  45%");
    EXPECT_EQ(progress_bar_line(1.0, "100%", 10), "[##########] 100%");
    EXPECT_EQ(progress_bar_line(7.0, "100%", 4), "[####] 100%");
    EXPECT_EQ(fill_message("Option %s with %s.", "--cfg", "write"), "Option --cfg with write.");
    // A value that itself holds "%s" is not filled again.
    EXPECT_EQ(fill_message("%s and %s", "%s", "b"), "%s and b");
}

// Quiet runs are the end-to-end script's.
TEST(CliFlashHost, ALogGetsOneLinePerPercentAndATerminalItsBar) {
    Capture log;
    {
        TerminalFlashHost host("fw.bin", log.file, false, false, kEnglish);
        EXPECT_EQ(host.choose_file(), "fw.bin");
        EXPECT_EQ(host.choose_file(), "");
        host.set_progress_text("Erasing flash memory...");
        for (int permille = 0; permille < 30; ++permille) {
            host.set_progress_fraction(permille / 1000.0);
            host.set_progress_text(std::to_string(permille / 10) + "%");
        }
    }
    EXPECT_EQ(log.text(), "Erasing flash memory...\n0%\n1%\n2%\n");
    Capture terminal;
    {
        TerminalFlashHost host("fw.bin", terminal.file, true, false, kEnglish);
        host.set_progress_fraction(0.5);
        host.set_progress_text("50%");
        host.set_progress_label("Firmware QN724 bootloader ver 1.2");
    }
    EXPECT_EQ(terminal.text(),
              "\r" + progress_bar_line(0.5, "50%", 40) + "\nFirmware QN724 bootloader ver 1.2\n");
}

TEST(CliInstance, OnlyTheWindowProgramsByTheirOwnNames) {
    EXPECT_EQ(running_window_program({"bash", "qn718-programmer-demo"}), "qn718-programmer-demo");
    EXPECT_EQ(running_window_program({"qn718-programmer"}), "qn718-programmer");
    EXPECT_EQ(running_window_program({"qn718-programmer-demo.exe"}), "qn718-programmer-demo.exe");
    // Copies under other names (as tests run them) and the tool itself do not count.
    EXPECT_EQ(running_window_program({"qn718-e2e-123", "qn718-cli", "qn718-programmer-old"}), "");
}

class CliRun : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        // The history of every write goes to this test's own folder (LOCALAPPDATA on Windows).
        set_environment("XDG_DATA_HOME", folder_.c_str());
        const char* local = std::getenv("LOCALAPPDATA");
        local_app_data_ = local ? local : "";
        set_environment("LOCALAPPDATA", folder_.c_str());
    }
    void TearDown() override {
        sim::set_call_hook(nullptr);
        set_environment("XDG_DATA_HOME", nullptr);
        set_environment("LOCALAPPDATA",
                        local_app_data_.empty() ? nullptr : local_app_data_.c_str());
        std::filesystem::remove_all(folder_);
    }

    int run(std::vector<const char*> args) {
        args.insert(args.begin(), "qn718-cli-run-test");
        out_ = std::make_unique<Capture>();
        err_ = std::make_unique<Capture>();
        const int status =
            run_cli(static_cast<int>(args.size()), args.data(), {out_->file, err_->file, false});
        hid_exit();
        return status;
    }
    static bool bootloader_erased() {
        const auto& reports = sim::written_reports();
        return std::any_of(reports.begin(), reports.end(), [](const auto& report) {
            return report.size() == 65 && report[1] == bootloader::kErase;
        });
    }

    const std::string folder_ = make_temp_folder("qn718-cli-");
    std::string local_app_data_;
    std::unique_ptr<Capture> out_;
    std::unique_ptr<Capture> err_;
};

TEST_F(CliRun, FlashesTheLargestImageAndRefusesOneByteMoreBeforeTheErase) {
    const std::string largest =
        write_firmware_file(folder_, "largest.bin", make_firmware_file(499688));
    EXPECT_EQ(run({"flash", largest.c_str()}), kExitSuccess) << err_->text();
    EXPECT_NE(err_->text().find("100%\nSuccessfully programmed device.\n"), std::string::npos);

    sim::reset();
    const std::string too_large =
        write_firmware_file(folder_, "too-large.bin", make_firmware_file(499689));
    EXPECT_EQ(run({"--quiet", "flash", too_large.c_str()}), kExitInvalidInput);
    EXPECT_EQ(err_->text(), "Firmware too large.\n");
    EXPECT_FALSE(bootloader_erased());

    // Firmware for other hardware: the device refuses it, again before anything is erased.
    sim::reset();
    sim::set_bootloader_hardware_type(7);
    EXPECT_EQ(run({"-q", "flash", largest.c_str()}), kExitRefused);
    EXPECT_EQ(err_->text(), "File is not compatible with hardware\n");
    EXPECT_FALSE(bootloader_erased());
}

// A QN718 that never confirms its firmware sub-version is refused (exit 4); the description
// says so instead of calling it compatible, in the keys' English and the user's language.
TEST_F(CliRun, AnUnconfirmedFirmwareIsDescribedAsTheReasonForTheRefusal) {
    sim::set_sub_version_silent(true);
    EXPECT_EQ(run({"--lang", "pl", "identify"}), kExitRefused);
    EXPECT_NE(out_->text().find("sub-version: none\ncompatible: unconfirmed\n"
                                "reason: Urządzenie nie potwierdziło wersji oprogramowania.\n"),
              std::string::npos)
        << out_->text();
    sim::reset();
    sim::set_sub_version_silent(true);
    EXPECT_EQ(run({"--lang", "en", "identify", "--json"}), kExitRefused);
    EXPECT_NE(out_->text().find("\"sub_version\":null,\"compatible\":null,"
                                "\"reason\":\"The device did not confirm its firmware version.\","),
              std::string::npos)
        << out_->text();
}

TEST_F(CliRun, AFileWithAnUnlistedChoiceKeepsTheDeviceValueLikeThePage) {
    // The page ignores a choice position its box lacks; the device keeps its byte.
    const std::string file = folder_ + "/odd.cfg";
    ASSERT_TRUE(write_whole_file(file, "canlevel=3\r\nvon_speed=99\r\nvoff_speed=1\r\n"));
    const uint8_t von_before = sim::memory_byte(0x202);
    EXPECT_EQ(run({"-q", "write", file.c_str()}), kExitSuccess) << err_->text();
    EXPECT_EQ(sim::memory_byte(0x202), von_before);
    EXPECT_EQ(sim::memory_byte(0x203), 1);
}

// The tool's read, write and flash, interrupted at every hidapi call by every fault of the
// interruption sweep: the exit status is 0 only for what really happened, and the device keeps
// the sweep's rules (the old or the new block, never a mix; a device that can be used again).
TEST_F(CliRun, ReadWriteAndFlashReportEveryInterruptionAsAFailure) {
    ConfigRecord author;
    author.can_level = 260;
    author.choices = {4, 0, 1, 5, 1, 2, 9, 1};
    const std::string cfg = folder_ + "/new.cfg";
    ASSERT_TRUE(write_whole_file(cfg, encode_cfg(author)));
    const std::string image = sweep::new_firmware_file();
    struct Command {
        const char* name;
        std::vector<const char*> args;
        bool flashes;
    };
    const Command commands[] = {
        {"read", {"-q", "read"}, false},
        {"write", {"-q", "write", cfg.c_str()}, false},
        {"flash", {"-q", "flash", image.c_str()}, true},
    };
    g_sleep_counted = true;
    const auto start = [] {
        sim::reset();
        sim::set_firmware_number(sweep::kOldFirmware);
        sim::set_memory(kConfigBlockAddress, sweep::kUsedBlock);
    };
    int failures = 0;
    for (const Command& command : commands) {
        start();
        const std::vector<uint8_t> old_block = sweep::config_block_in_device();
        const int before = sim::hid_calls();
        ASSERT_EQ(run(command.args), kExitSuccess) << command.name << ": " << err_->text();
        const int calls = sim::hid_calls() - before;
        const std::string clean_out = out_->text();
        const std::vector<uint8_t> new_block = sweep::config_block_in_device();

        // The flash under every fault is the flasher's own sweep; here, for CI's time, the
        // device going away and stopping to answer, which is what the exit status must tell.
        std::vector<sim::CallFault> faults(std::begin(sweep::kFaults), std::end(sweep::kFaults));
        if (command.flashes)
            faults = {sim::CallFault::vanish, sim::CallFault::stall};
        for (const sim::CallFault fault : faults) {
            for (int point = 0; point < calls && failures < 10; ++point) {
                start();
                sim::arm_call_fault(point, fault);
                int status;
                {
                    const HangGuard guard(std::chrono::seconds(60),
                                          std::string("qn718-cli ") + command.name);
                    status = run(command.args);
                }
                const bool struck = sim::call_fault_struck();
                std::vector<std::string> problems;
                if (!struck && status != kExitSuccess)
                    problems.push_back("failed although the fault never struck");
                if (status == kExitSuccess && !command.flashes &&
                    (out_->text() != clean_out || sweep::config_block_in_device() != new_block))
                    problems.push_back("exit status 0, but not what a clean run gives");
                if (status == kExitSuccess && command.flashes && !sweep::new_image_in_flash())
                    problems.push_back("exit status 0, but the flash does not hold the image");
                if (status != kExitSuccess && err_->text().empty())
                    problems.push_back("a failure without a message");
                const std::vector<uint8_t> block = sweep::config_block_in_device();
                if (block != old_block && block != new_block)
                    problems.push_back("the parameter memory holds a mix of two blocks");

                DeviceLink link;
                sweep::Run after(link);
                after.outcome.success = status == kExitSuccess;
                sweep::Verdict verdict;
                sweep::Operation op;
                op.flashes = command.flashes;
                sweep::check_recovery(op, after, verdict);
                link.close();
                hid_exit();
                problems.insert(problems.end(), verdict.violations.begin(),
                                verdict.violations.end());
                for (const std::string& problem : problems) {
                    if (failures++ < 10)
                        ADD_FAILURE()
                            << command.name << ", " << sweep::fault_name(fault) << " at call "
                            << point << " (exit " << status << "): " << problem;
                }
            }
        }
        std::printf("qn718-cli %s: %d interruption points, %zu faults\n", command.name, calls,
                    faults.size());
    }
    g_sleep_counted = false;
}

namespace {

ConfigBlock device_block() {
    ConfigBlock block;
    for (int i = 0; i < kConfigRecordSize; ++i)
        block[i] = sim::memory_byte(kConfigBlockAddress + i);
    return block;
}

// A block as its record reads: what an entry can give back.
ConfigBlock normalised(const ConfigBlock& block) {
    return encode_config_record(decode_config_record(block.data()));
}

std::vector<std::string> split(const std::string& text, char at) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = text.find(at, start)) != std::string::npos; start = end + 1)
        parts.push_back(text.substr(start, end - start));
    if (start < text.size())
        parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

TEST_F(CliRun, EveryWriteKeepsTheBlockTheDeviceHeldAndRestoreWritesItBack) {
    const std::string file = folder_ + "/level5.cfg";
    ASSERT_TRUE(write_whole_file(file, "canlevel=5\r\nvon_speed=4\r\n"));
    sim::set_memory(kConfigBlockAddress, {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03});
    const ConfigBlock first = device_block();

    // Each write path, then the block the history must show as the newest entry.
    struct Step {
        std::vector<const char*> args;
        int status;
    };
    const Step steps[] = {
        {{"-q", "write", file.c_str()}, kExitSuccess},
        {{"-q", "defaults"}, kExitSuccess},
        {{"-q", "restore", "1"}, kExitSuccess},
        {{"-q", "restore", "--last"}, kExitSuccess},
    };
    std::vector<ConfigBlock> held;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.args[1]);
        held.push_back(normalised(device_block()));
        ASSERT_EQ(run(step.args), step.status) << err_->text();
        const ConfigHistoryListing listing = list_history(history_folder());
        ASSERT_EQ(listing.entries.size(), held.size());
        EXPECT_EQ(encode_config_record(listing.entries.front().record), held.back());
        EXPECT_EQ(listing.entries.front().device_type, 718);
        EXPECT_EQ(listing.entries.front().firmware, "0022");
    }
    // Entry 1 held the first block; "--last" put back what "restore 1" overwrote (defaults).
    EXPECT_EQ(held[2], normalised(kDefaultConfigBlock));
    EXPECT_EQ(normalised(device_block()), held[2]);
    EXPECT_EQ(held[0], normalised(first));

    EXPECT_EQ(run({"history"}), kExitSuccess);
    const std::vector<std::string> lines = split(out_->text(), '\n');
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[3].substr(0, 6), "   1  ");
    EXPECT_NE(lines[3].find("QN718-0022  level 260  car 1350"), std::string::npos) << lines[3];
    EXPECT_EQ(run({"history", "--json"}), kExitSuccess);
    EXPECT_EQ(out_->text().find("{\"number\":4,\"time\":"), 0u);
    EXPECT_NE(
        out_->text().find("\"canlevel\":260,\"carnumber\":1350,\"choices\":[4,0,1,5,1,2,9,1]"),
        std::string::npos);

    EXPECT_EQ(run({"restore", "99"}), kExitInvalidInput);
    EXPECT_EQ(err_->text(), "There is no history entry number 99.\n");

    // A history that cannot be kept stops the write: nothing is overwritten unkept.
    const std::string blocked = folder_ + "/not-a-folder";
    ASSERT_TRUE(write_whole_file(blocked, "x"));
    set_environment("XDG_DATA_HOME", blocked.c_str());
    set_environment("LOCALAPPDATA", blocked.c_str());
    const ConfigBlock before = device_block();
    sim::clear_received();
    EXPECT_EQ(run({"-q", "write", file.c_str()}), kExitInvalidInput);
    EXPECT_NE(err_->text().find("could not be kept in the history"), std::string::npos);
    EXPECT_EQ(device_block(), before);
    EXPECT_EQ(sim::count_commands(6), 0);
}

TEST_F(CliRun, StationTakesDeviceAfterDeviceAndReportsEachLine) {
    const std::string firmware =
        write_firmware_file(folder_, "fw.bin", make_firmware_file(9984, 23));
    const std::string config = folder_ + "/station.cfg";
    ASSERT_TRUE(write_whole_file(config, "canlevel=7\r\nvon_speed=1\r\n"));
    const std::string report = folder_ + "/report.csv";

    // The bench: three devices, the second's configuration read-back differs.
    struct Device {
        uint16_t firmware;
        int readback_fault;  // -1: none
    };
    const Device devices[] = {{21, -1}, {20, 5}, {22, -1}};
    size_t plugged = 0;
    auto report_lines = [&] {
        std::string text;
        read_whole_file(report, 100000, text);
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    };
    sim::plug(false);
    sim::set_call_hook([&] {
        if (sim::plugged() || sim::restart_pending()) {
            // Unplugged once its line (after the header) is in the report.
            if (report_lines() > plugged)
                sim::plug(false);
        } else if (plugged < std::size(devices)) {
            sim::set_firmware_number(devices[plugged].firmware);
            sim::set_readback_differs_at(devices[plugged].readback_fault);
            sim::set_memory(kConfigBlockAddress, {9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
            sim::plug(true);
            ++plugged;
        }
    });
    const int status = run({"station", "--firmware", firmware.c_str(), "--config", config.c_str(),
                            "--report", report.c_str(), "--count", "3"});
    sim::set_call_hook(nullptr);
    EXPECT_EQ(status, kExitDeviceError) << err_->text();
    EXPECT_EQ(plugged, 3u);

    std::string text;
    ASSERT_TRUE(read_whole_file(report, 100000, text));
    const std::vector<std::string> lines = split(text, '\n');
    const std::vector<std::string> expected = {
        "time,type,firmware_before,firmware_after,result,seconds,reason\r",
        "QN718,0021,0023,passed,",
        "QN718,0020,-,failed,Write error!\r",
        "QN718,0022,0023,passed,",
    };
    ASSERT_EQ(lines.size(), expected.size()) << text;
    EXPECT_EQ(lines[0], expected[0]);
    for (size_t i = 1; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        std::vector<std::string> fields = split(lines[i], ',');
        ASSERT_EQ(fields.size(), 7u);
        EXPECT_EQ(fields[0].size(), 19u) << "the time";
        const std::string seconds = fields[5];
        EXPECT_NE(seconds.find('.'), std::string::npos);
        fields.erase(fields.begin() + 5);
        fields.erase(fields.begin());
        std::string joined;
        for (const std::string& field : fields)
            joined += field + ",";
        joined.pop_back();
        EXPECT_EQ(joined.substr(0, expected[i].size()), expected[i]);
    }
    const std::vector<std::string> printed = split(out_->text(), '\n');
    ASSERT_EQ(printed.size(), 4u) << out_->text();
    EXPECT_NE(printed[1].find("QN718  0020 -> -  failed"), std::string::npos) << printed[1];
    EXPECT_EQ(printed[3], "Devices: 3, passed: 2, failed: 1");
    // Every device's old block was kept before its write, the failed one's too.
    EXPECT_EQ(list_history(history_folder()).entries.size(), 3u);
}

#ifndef _WIN32  // the technician socket is a Unix socket
// The tool on the device of a remote-access session: the same commands through the relay give
// what they give over USB; a lost or confused session ends with its own message.
class CliRemote : public CliRun {
   protected:
    int run_remote(std::vector<const char*> args, TechnicianSocketStandIn::Faults faults = {}) {
        const std::string folder = make_temp_folder("qn718-relay-");
        int status;
        {
            TechnicianSocketStandIn stand_in(folder, "482-913-507", std::move(faults));
            const std::string socket = stand_in.path();
            args.insert(args.begin(),
                        {"--remote", "482-913-507", "--relay-socket", socket.c_str()});
            args.insert(args.begin(), "qn718-cli-run-test");
            out_ = std::make_unique<Capture>();
            err_ = std::make_unique<Capture>();
            const HangGuard guard(std::chrono::seconds(120), "qn718-cli --remote");
            status = run_cli(static_cast<int>(args.size()), args.data(),
                             {out_->file, err_->file, false});
            stand_in.stop();
        }
        hid_exit();
        std::filesystem::remove_all(folder);
        return status;
    }
    void start() {
        sim::reset();
        sim::set_memory(kConfigBlockAddress, sweep::kUsedBlock);
    }
};

TEST_F(CliRemote, IdentifyReadWriteAndFlashGiveWhatTheyGiveOverUsb) {
    const std::string cfg = folder_ + "/level5.cfg";
    ASSERT_TRUE(write_whole_file(cfg, "canlevel=5\r\nvon_speed=4\r\n"));
    const std::string image = sweep::new_firmware_file();
    struct Command {
        const char* name;
        std::vector<const char*> args;
    };
    const Command commands[] = {
        {"identify", {"identify"}},
        {"identify --json", {"identify", "--json"}},
        {"read", {"read"}},
        {"write", {"write", cfg.c_str()}},
        {"defaults", {"-q", "defaults"}},
        {"send", {"send", "04"}},
        {"flash", {"-q", "flash", image.c_str()}},
    };
    for (const Command& command : commands) {
        SCOPED_TRACE(command.name);
        start();
        const int usb_status = run(command.args);
        const std::string usb_out = out_->text();
        const std::string usb_err = err_->text();
        const std::vector<uint8_t> usb_block = sweep::config_block_in_device();
        ASSERT_EQ(usb_status, kExitSuccess) << usb_err;

        start();
        EXPECT_EQ(run_remote(command.args), kExitSuccess) << err_->text();
        EXPECT_EQ(out_->text(), usb_out);
        EXPECT_EQ(err_->text(), usb_err);
        EXPECT_EQ(sweep::config_block_in_device(), usb_block);
    }
    EXPECT_TRUE(sweep::new_image_in_flash());

    // The progress comes from the program's records, one line per percent it reports.
    start();
    EXPECT_EQ(run_remote({"flash", image.c_str()}), kExitSuccess) << err_->text();
    const std::string progress = err_->text();
    EXPECT_NE(progress.find("Erasing flash memory...\n0%\n"), std::string::npos) << progress;
    EXPECT_NE(progress.find("\n100%\nSuccessfully programmed device.\n"), std::string::npos)
        << progress;

    // A device found waiting in its bootloader is flashed from there, and refused otherwise.
    start();
    sim::set_product(sim::Product::bootloader);
    EXPECT_EQ(run_remote({"-q", "identify"}), kExitRefused);
    EXPECT_EQ(err_->text(), std::string(cli_text_in(kEnglish, CliText::bootloader_mode)) + "\n");
    EXPECT_EQ(run_remote({"-q", "flash", image.c_str()}), kExitSuccess) << err_->text();
    EXPECT_TRUE(sweep::new_image_in_flash());
}

TEST_F(CliRemote, ALostOrConfusedSessionEndsWithItsOwnMessage) {
    const std::string image = sweep::new_firmware_file();
    // The program stops in the middle of the upload: nothing was switched or erased.
    start();
    TechnicianSocketStandIn::Faults mid_upload;
    mid_upload.stop_after = 3000;
    EXPECT_EQ(run_remote({"-q", "flash", image.c_str()}, mid_upload), kExitDeviceError);
    EXPECT_EQ(err_->text(),
              "Write error!\nThe remote session ended: the customer's program or the server "
              "closed it.\n");
    EXPECT_FALSE(bootloader_erased());
    EXPECT_EQ(sim::count_commands(command::kEnterBootloader), 0);

    // Bytes that answer nothing end the session before anything is written.
    start();
    TechnicianSocketStandIn::Faults garbage;
    garbage.garbage = "@Rxyz";
    garbage.garbage_after_answers = 0;
    EXPECT_EQ(run_remote({"-q", "defaults"}, garbage), kExitDeviceError);
    EXPECT_EQ(err_->text(),
              "The customer's program sent bytes that are no answer; the session was ended.\n");
    EXPECT_EQ(sim::count_commands(6), 0);

    // A code the server does not know, and no server at all.
    start();
    std::vector<const char*> args = {"-q", "identify"};
    {
        const std::string folder = make_temp_folder("qn718-relay-");
        TechnicianSocketStandIn stand_in(folder, "other-code", {});
        const std::string socket = stand_in.path();
        const char* argv[] = {"qn718-cli",      "--remote",     "482-913-507",
                              "--relay-socket", socket.c_str(), "identify"};
        err_ = std::make_unique<Capture>();
        out_ = std::make_unique<Capture>();
        EXPECT_EQ(run_cli(6, argv, {out_->file, err_->file, false}), kExitNoDevice);
        EXPECT_EQ(err_->text(),
                  "The remote-access server refused the code: unknown or expired code\n");
        stand_in.stop();
        std::filesystem::remove_all(folder);
    }
    const std::string missing = folder_ + "/no-such.sock";
    const char* argv[] = {"qn718-cli",      "--remote",      "482-913-507",
                          "--relay-socket", missing.c_str(), "identify"};
    EXPECT_EQ(run_cli(6, argv, {out_->file, err_->file, false}), kExitNoDevice);
    EXPECT_NE(err_->text().find("Cannot reach the remote-access server at " + missing +
                                ": No such file or directory\n"),
              std::string::npos)
        << err_->text();
}
#endif
