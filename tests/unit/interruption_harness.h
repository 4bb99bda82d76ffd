// The interruption sweep: every device operation, a fault striking at a chosen hidapi call, and
// the rules that must hold afterwards. Header-only, so window tests can run it on their link.
#pragma once

#include <hidapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/cfg_file.h"
#include "config/config_block.h"
#include "config/config_messages.h"
#include "config/config_operations.h"
#include "config/config_record.h"
#include "console/command_history.h"
#include "console/console_command.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/flasher.h"
#include "sim/sim_control.h"
#include "support/hang_guard.h"
#include "support/quiet_flash_host.h"
#include "support/test_system.h"
#include "unit/firmware_files.h"

namespace sweep {

// A small image (179 blocks): every call of the flash is a point, so the largest takes too long.
constexpr size_t kSweepImageBytes = 10000;
constexpr int kOldFirmware = 22;
constexpr int kNewFirmware = 31;
constexpr int kConsoleCommand = 0x30;  // the simulator's service command: log lines, then reply 1

// A block the simulator does not start with, so that the defaults change something.
const std::vector<uint8_t> kUsedBlock = {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03};

// What the user is shown and what the page holds after an operation.
struct Outcome {
    bool success = false;
    bool returned = false;  // what the operation's function returned
    std::vector<Text> messages;
    FlashResult flash = FlashResult::nothing_done;
    ConsoleSendResult console;
    std::string page;                    // the record the page shows afterwards
    std::vector<uint8_t> relayed_block;  // the parameter block a relay server was handed
};

struct RelayServer;

// Everything one run works with; the link is the caller's, so a window can pass its own.
struct Run {
    explicit Run(DeviceLink& device_link) : link(device_link) {}
    DeviceLink& link;
    ConfigRecord page;  // what the page shows: the operations' record
    CommandHistory history;
    TrafficLog traffic;
    FirmwareImage image;
    QuietFlashHost host;
    Outcome outcome;
    std::shared_ptr<RelayServer> server;  // relayed operations only
};

enum class Start { application, bootloader };

struct Operation {
    std::string name;
    Start start = Start::application;
    bool flashes = false;
    // The device and the page as the user left them before the operation.
    std::function<void(Run&)> prepare;
    // The operation as the window runs it; fills the outcome's success and what was shown.
    std::function<void(Run&)> run;
    // Messages that announce success; any other message is a failure report.
    std::vector<Text> success_messages;
    // The longest the user may wait for the failure when the device stops answering: the
    // operation's own time-outs, with the pauses and the reads' waits counted, not real time.
    int stall_limit_ms = 0;
};

inline std::string new_firmware_file() {
    static const std::string path =
        write_firmware_file(make_temp_folder("qn718-sweep-"), "sweep.bin",
                            make_firmware_file(kSweepImageBytes, kNewFirmware));
    return path;
}

inline bool among(const std::vector<Text>& texts, Text text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// The operation's result and the message the window shows for it.
struct ConfigResult {
    bool returned = false;
    std::optional<Text> message;
};

inline ConfigResult save_result(SaveOutcome outcome) {
    return {saved(outcome), save_message(outcome)};
}

inline void finish_config(Run& run, ConfigResult result, const std::vector<Text>& ok) {
    Outcome& out = run.outcome;
    if (result.message)
        out.messages.push_back(*result.message);
    out.returned = out.success = result.returned;
    for (Text shown : out.messages)
        out.success = out.success && among(ok, shown);
    out.page = encode_cfg(run.page);
}

// A page as a user left it after choosing other values than the device holds.
inline void edit_page(Run& run) {
    run.page.car_number = 1350;
    run.page.can_level = 300;
    run.page.choices = {1, 2, 3, 4, 1, 2, 49, 2};
}

inline void flash_outcome(Run& run, FlashMode mode) {
    run.host.file = new_firmware_file();
    run.outcome.flash = flash_firmware(run.link, run.image, mode, run.host);
    run.outcome.success = run.outcome.returned = run.outcome.flash == FlashResult::programmed;
}

}  // namespace sweep

// Relayed operations (remote access) join the sweep through this header.
#include "unit/relayed_operations.h"

namespace sweep {

// The longest waits for a device that stopped answering. A configuration operation: the
// reads' 10 attempts of 10 polls of 25 ms, with its pauses. The console: 40 rounds of 50 ms
// and a poll each. A flash: the erase's time-out and the pauses before it.
constexpr int kConfigStallLimitMs = 3000;
constexpr int kConsoleStallLimitMs = 3500;
constexpr int kFlashStallLimitMs = kBootloaderEraseTimeoutMs + 2000;

// A configuration operation: its result and the one message it shows make the outcome.
inline Operation config_operation(std::string name, std::function<void(Run&)> prepare,
                                  std::function<ConfigResult(Run&)> action, std::vector<Text> ok) {
    return {std::move(name),
            Start::application,
            false,
            std::move(prepare),
            [action, ok](Run& run) { finish_config(run, action(run), ok); },
            ok,
            kConfigStallLimitMs};
}

inline std::vector<Operation> operations() {
    const std::vector<Text> saved = {Text::config_saved, Text::no_can_speed_warning};
    const auto used_block = [](Run&) { sim::set_memory(kConfigBlockAddress, kUsedBlock); };
    const auto save = [](Run& run) {
        return save_result(
            save_configuration(run.link, run.page, [](const ConfigBlock&) { return true; }));
    };
    std::vector<Operation> list = {
        config_operation("load", used_block,
                         [](Run& run) {
                             const std::optional<ConfigRecord> loaded =
                                 load_configuration(run.link);
                             if (!loaded)
                                 return ConfigResult{false, Text::config_load_error};
                             run.page = *loaded;
                             return ConfigResult{true, Text::config_loaded};
                         },
                         {Text::config_loaded}),
        config_operation("save", edit_page, save, saved),
        config_operation(
            "defaults_then_save", used_block,
            [save](Run& run) {
                // The defaults touch only the page; the save reaches the device.
                run.page = default_configuration();
                return save(run);
            },
            saved),
        config_operation(
            "calibrate",
            [](Run& run) {
                sim::set_calibration(17, 2);
                run.page.choices[kSpeedometerScale] = 9;
            },
            [](Run& run) {
                const CalibrationResult result = calibrate_speedometer(run.link);
                const bool done = result.outcome == CalibrationOutcome::calibrated;
                if (done)
                    run.page.choices[kSpeedometerScale] = result.scale;
                return ConfigResult{done, calibration_message(result.outcome)};
            },
            {Text::calibration_finished}),
        config_operation(
            "cfg_file_into_device", [](Run&) {},
            [save](Run& run) {
                ConfigRecord author;
                author.can_level = 260;
                author.choices = {4, 0, 1, 5, 1, 2, 9, 1};
                run.page = decode_cfg(encode_cfg(author), run.page).record;
                return save(run);
            },
            saved),
        {"console_send",
         Start::application,
         false,
         [](Run&) {},
         [](Run& run) {
             run.outcome.console =
                 console_send(run.link, run.history, run.traffic, {"30", "\\x03", true});
             run.outcome.success = !run.outcome.console.response.empty();
         },
         {},
         kConsoleStallLimitMs},
        {"flash_from_menu",
         Start::application,
         true,
         [](Run&) {},
         [](Run& run) { flash_outcome(run, FlashMode::from_application); },
         {},
         kFlashStallLimitMs},
        {"flash_from_bootloader_window",
         Start::bootloader,
         true,
         [](Run&) { sim::set_product(sim::Product::bootloader); },
         [](Run& run) { flash_outcome(run, FlashMode::from_bootloader); },
         {},
         kFlashStallLimitMs},
    };
    for (Operation& relayed : relayed_operations())
        list.push_back(std::move(relayed));
    return list;
}

inline std::vector<uint8_t> config_block_in_device() {
    std::vector<uint8_t> block;
    for (int i = 0; i < kConfigRecordSize; ++i)
        block.push_back(sim::memory_byte(static_cast<uint16_t>(kConfigBlockAddress + i)));
    return block;
}

// The clean run's facts, against which every interrupted run is judged.
struct Reference {
    int calls = 0;  // hidapi calls of the whole operation
    int paused_ms = 0;
    std::vector<uint8_t> old_block;
    std::vector<uint8_t> new_block;
    Outcome outcome;
};

inline const char* fault_name(sim::CallFault fault) {
    static const char* const names[] = {"none",       "vanish",        "short_write",
                                        "read_error", "corrupt_frame", "stall"};
    return names[static_cast<int>(fault)];
}

constexpr sim::CallFault kFaults[] = {sim::CallFault::vanish, sim::CallFault::short_write,
                                      sim::CallFault::read_error, sim::CallFault::corrupt_frame,
                                      sim::CallFault::stall};
// A run that takes this long in real time is stuck (a wait without a limit on a device that
// stopped answering): the test program stops with the run's name.
constexpr std::chrono::seconds kHangBound{60};

// Beyond the clean run, the waits an interrupted run may add (the longest: the flasher's search
// for a bootloader that never comes) and the calls that mean it is stuck.
constexpr int kExtraWaitMs = 10000;
constexpr int kExtraCalls = 2000;

struct Verdict {
    bool struck = false;
    int64_t waited_ms = 0;  // the pauses and the reads' waits a real device would have cost
    std::vector<std::string> violations;
    bool ended_in_bootloader = false;
};

// A fresh simulator in the operation's starting state; the link open for a running device.
inline void set_up(const Operation& op, Run& run, int* paused_ms) {
    run.link.close();
    sim::reset();
    hid_init();
    run.link.set_pause([paused_ms](int ms) { *paused_ms += ms; });
    sim::set_firmware_number(kOldFirmware);
    op.prepare(run);
    if (op.start == Start::application && run.link.open() != OpenResult::link) {
        std::fprintf(stderr, "sweep: the device did not open before %s\n", op.name.c_str());
        std::abort();
    }
}

inline Reference measure(const Operation& op, DeviceLink& link) {
    Reference ref;
    Run run(link);
    set_up(op, run, &ref.paused_ms);
    ref.old_block = config_block_in_device();
    const int before = sim::hid_calls();
    op.run(run);
    ref.calls = sim::hid_calls() - before;
    ref.new_block = config_block_in_device();
    ref.outcome = run.outcome;
    link.close();
    return ref;
}

// Which firmware runs once the device is back: 0 for the bootloader, -1 when nothing answers.
inline int running_firmware(DeviceLink& link) {
    const OpenResult opened = link.open();
    int number = opened == OpenResult::bootloader ? 0 : -1;
    if (opened == OpenResult::link && link.send_command(command::kIdentify) &&
        link.await_reply(reply::kIdentity, 5) && link.reply().carries(4))
        number = link.reply().payload()[2] << 8 | link.reply().payload()[3];
    link.close();
    return number;
}

inline bool new_image_in_flash() {
    const std::string file = make_firmware_file(kSweepImageBytes, kNewFirmware);
    const std::vector<uint8_t> flash = sim::bootloader_flash(0x1D006000, kSweepImageBytes);
    return std::equal(file.begin() + 16, file.end(), flash.begin(),
                      [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
}

// The device is plugged in again and the faults are gone: the program must work with it again.
inline void check_recovery(const Operation& op, Run& run, Verdict& verdict) {
    auto violation = [&verdict](const std::string& text) { verdict.violations.push_back(text); };
    run.link.close();
    sim::arm_call_fault(0, sim::CallFault::none);
    // A hung device comes back only through losing power.
    if (sim::stalled() && sim::plugged())
        sim::plug(false);
    sim::clear_write_fault();
    sim::set_next_reply_fault(sim::ReplyFault::none);
    if (!sim::plugged() || sim::restart_pending())
        sim::replug();

    if (!op.flashes) {
        if (run.link.open() != OpenResult::link) {
            violation("the device was not found again");
            return;
        }
        if (!load_configuration(run.link))
            violation("the configuration could not be read after reconnecting");
        run.link.close();
        return;
    }

    int firmware = running_firmware(run.link);
    // The restart request may be lost without harm: with the image and its marker complete,
    // the device starts the new firmware at the latest when power returns.
    if (firmware == 0 && run.outcome.success) {
        sim::plug(false);
        sim::replug();
        firmware = running_firmware(run.link);
    }
    const bool may_be_old = op.start == Start::application;
    if (firmware == kNewFirmware && !new_image_in_flash())
        violation("the device runs firmware whose image is not the one in the file");
    if (firmware == 0) {
        verdict.ended_in_bootloader = true;
        // The bootloader window must still be able to program it.
        Run again(run.link);
        flash_outcome(again, FlashMode::from_bootloader);
        if (again.outcome.flash != FlashResult::programmed)
            violation("the bootloader window could not program the device afterwards");
        else if (running_firmware(run.link) != kNewFirmware)
            violation("the device did not start the firmware programmed afterwards");
    } else if (firmware != kNewFirmware && !(may_be_old && firmware == kOldFirmware)) {
        violation("the device runs neither the old nor the new firmware: " +
                  std::to_string(firmware));
    }
    if (run.outcome.success && firmware != kNewFirmware)
        violation("the update was reported done but the device does not run the new firmware");
}

// One run with the fault due after `point` calls of the operation.
inline Verdict run_interrupted(const Operation& op, const Reference& ref, DeviceLink& link,
                               sim::CallFault fault, int point) {
    Verdict verdict;
    auto violation = [&verdict](const std::string& text) { verdict.violations.push_back(text); };
    int paused_ms = 0;
    Run run(link);
    set_up(op, run, &paused_ms);
    const int before = sim::hid_calls();
    const int64_t idle_before = sim::idle_read_ms();
    sim::arm_call_fault(point, fault);
    const auto started = std::chrono::steady_clock::now();
    {
        const HangGuard guard(
            kHangBound, op.name + ", " + fault_name(fault) + " at call " + std::to_string(point));
        op.run(run);
    }
    const auto took = std::chrono::steady_clock::now() - started;
    verdict.struck = sim::call_fault_struck();
    verdict.waited_ms = paused_ms + (sim::idle_read_ms() - idle_before);
    const Outcome& out = run.outcome;

    if (sim::hid_calls() - before > ref.calls + kExtraCalls)
        violation("far more hidapi calls than the clean run: stuck in a loop");
    if (paused_ms > ref.paused_ms + kExtraWaitMs)
        violation("waited " + std::to_string(paused_ms) + " ms");
    if (took > std::chrono::seconds(5))
        violation("took more than 5 s of real time");

    // Without the fault the run is the clean one.
    if (!verdict.struck && out.success != ref.outcome.success)
        violation("failed although the fault never struck");

    // Success is shown only for what really happened.
    if (out.success) {
        if (!op.flashes && op.name != "console_send" && out.page != ref.outcome.page)
            violation("success shown, but the page differs from a clean run");
        if (!op.flashes && config_block_in_device() != ref.new_block)
            violation("success shown, but the device does not hold the new block");
        if (op.name == "console_send" && out.console.response != ref.outcome.console.response)
            violation("a response was shown that the device did not send");
        if (!ref.outcome.relayed_block.empty() && out.relayed_block != ref.old_block)
            violation("the relay server was handed bytes the device does not hold");
    }
    // Programming reported done, to the user or to a relay server, means the whole image.
    if (op.flashes && out.returned && !new_image_in_flash())
        violation("programming was reported done, but the flash does not hold the image");
    // The operations that report through one message on the page.
    if (!op.success_messages.empty()) {
        if (out.messages.size() != 1)
            violation("shown " + std::to_string(out.messages.size()) + " messages, not one");
        else if (out.returned != among(op.success_messages, out.messages.front()))
            violation("the message shown and the result disagree");
        if (!out.success && !out.messages.empty() &&
            among(op.success_messages, out.messages.front()))
            violation("a success message after a failure");
    }
    // A device that stops answering: the failure is reported, and within the operation's
    // time-outs.
    if (fault == sim::CallFault::stall && verdict.struck) {
        if (op.stall_limit_ms > 0 && verdict.waited_ms > op.stall_limit_ms)
            violation("the device stopped answering and the operation waited " +
                      std::to_string(verdict.waited_ms) + " ms, over its limit of " +
                      std::to_string(op.stall_limit_ms));
        if (ref.outcome.flash == FlashResult::programmed && !out.success &&
            out.flash != FlashResult::write_error)
            violation("the flash failed without its failure text");
    }
    if (op.name == "console_send") {
        // A hung device takes the reports without acting on them: the host cannot know.
        if (out.console.delivered && sim::count_commands(kConsoleCommand) == 0 &&
            fault != sim::CallFault::stall)
            violation("reported delivered, but the device never received the command");
        if (!out.console.delivered && !out.console.response.empty())
            violation("a response to a command that was not delivered");
    }

    // The parameter memory holds the old or the new block, never a mix.
    const std::vector<uint8_t> block = config_block_in_device();
    if (block != ref.old_block && block != ref.new_block)
        violation("the parameter memory holds a mix of the old and the new block");

    check_recovery(op, run, verdict);
    if (run.server) {
        const std::string problem = relay_link_problem(run);
        if (!problem.empty())
            violation(problem);
    }
    link.close();
    return verdict;
}

}  // namespace sweep
