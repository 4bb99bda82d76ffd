// The connection machine against the simulated device: what each step does on the wire and
// what it says happened.
#include <gtest/gtest.h>

#include <hidapi.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/language.h"
#include "device/connection_machine.h"
#include "device/frame_codec.h"
#include "sim/sim_control.h"

namespace {

void queue_reply(uint8_t code, std::vector<uint8_t> payload) {
    sim::queue_raw_reply(encode_frame(code, payload.data(), payload.size()));
}

std::string describe(const ConnectionEvent& event) {
    const Identification& identified = event.identification;
    switch (event.kind) {
        case ConnectionEventKind::searching:
            return "searching";
        case ConnectionEventKind::nothing_found:
            return "nothing";
        case ConnectionEventKind::device_found:
            return "found(" + std::to_string(int(event.device_kind)) + ")";
        case ConnectionEventKind::bootloader_found:
            return "bootloader";
        case ConnectionEventKind::identified: {
            const char* outcomes[] = {"connected", "incompatible", "unconfirmed"};
            const std::string sub = identified.sub_version
                                        ? std::to_string(identified.sub_version->a) + "." +
                                              std::to_string(identified.sub_version->b)
                                        : "none";
            return "identified(" + identified.identity.name() + " " + sub + " " +
                   outcomes[int(identified.outcome)] + ")";
        }
        case ConnectionEventKind::incompatible:
            return "incompatible(" +
                   incompatible_firmware_text(lang_text_in(kEnglish, Text::incompatible_firmware),
                                              identified.identity, event.sub_version) +
                   ")";
        case ConnectionEventKind::connected:
            return "connected";
        case ConnectionEventKind::live_status:
            return "live";
        case ConnectionEventKind::lost:
            return "lost(" + std::to_string(int(event.lost_from)) + ")";
    }
    return "?";
}

class ConnectionMachineTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        hid_init();
    }
    void TearDown() override { link.close(); }

    // One step as a line: its events, then the command codes the device received meanwhile;
    // "" when it did neither.
    static std::string step(ConnectionMachine& machine, bool hidden_switch) {
        sim::clear_received();
        std::string line;
        for (const ConnectionEvent& event : machine.step(hidden_switch))
            line += (line.empty() ? "" : " ") + describe(event);
        std::string codes;
        for (const sim::ReceivedCommand& command : sim::received_commands()) {
            char code[4];
            std::snprintf(code, sizeof code, "%02X", command.code);
            codes += (codes.empty() ? "" : " ") + std::string(code);
        }
        if (!codes.empty())
            line += (line.empty() ? "[" : " [") + codes + "]";
        return line;
    }

    DeviceLink link;
};

// Each case: the device as set up, then moves at the bench, each followed by steps until one
// says what was awaited (or a limit). The lines of the steps that did something, joined by
// " | ", and each move's lines after " || ".
TEST_F(ConnectionMachineTest, LifeCyclesAgainstTheDevice) {
    struct Move {
        std::function<void()> action;
        const char* until;  // the text a step's line contains last in this move
        bool hidden_switch = false;
    };
    struct Case {
        const char* name;
        std::function<void()> setup;
        std::vector<Move> moves;
        const char* expected;
    };
    const auto nothing = [] {};
    const auto unplug = [] { sim::plug(false); };
    const auto replug = [] { sim::plug(true); };
    const Case cases[] = {
        {"found, greeted with 1 then 4, identified and connected",
         nothing,
         {{nothing, "connected"}},
         "searching found(1) | [01] | [04] | identified(QN718-0022 1.4 connected) connected "
         "[F4 02]"},
        {"USBIC link",
         [] { sim::set_product(sim::Product::usbic_short); },
         {{nothing, "connected"}},
         "searching found(3) | [01] | [04] | identified(QN718-0022 1.4 connected) connected "
         "[F4 02]"},
        {"no device: every step searches once",
         unplug,
         {{nothing, "nothing"}, {nothing, "nothing"}},
         "searching nothing || searching nothing"},
        {"bootloader: left open for the caller, still searching",
         [] { sim::set_product(sim::Product::bootloader); },
         {{nothing, "bootloader"}},
         "searching bootloader"},
        {"other type without sub-version: refused with 0, 0",
         [] {
             sim::set_device_type(717);
             sim::set_sub_version_silent(true);
         },
         {{nothing, "incompatible"}},
         "searching found(1) | [01] | [04] | identified(QN717-0022 none incompatible) "
         "incompatible(Program doesn't work with this firmware version.\n(0717-0022/0-0).) [F4]"},
        {"other type after a device that answered: its sub-version stands in the text",
         [] { sim::set_sub_version(3, 7); },
         {{nothing, "connected"},
          {
              [] {
                  sim::plug(false);
                  sim::set_device_type(717);
                  sim::set_sub_version_silent(true);
              },
              "nothing",
          },
          {replug, "incompatible"}},
         "searching found(1) | [01] | [04] | identified(QN718-0022 3.7 connected) connected "
         "[F4 02] || lost(16) searching nothing || searching found(1) | [01] | [04] | "
         "identified(QN717-0022 none incompatible) incompatible(Program doesn't work with this "
         "firmware version.\n(0717-0022/3-7).) [F4]"},
        {"unconfirmed: greeted on with 4 at once, and asked again at the next identity",
         [] { sim::set_sub_version_silent(true); },
         {{nothing, "unconfirmed"}, {nothing, "unconfirmed"}},
         "searching found(1) | [01] | [04] | identified(QN718-0022 none unconfirmed) [F4] || "
         "[04] | identified(QN718-0022 none unconfirmed) [F4]"},
        {"the hidden switch accepts an unconfirmed device",
         [] { sim::set_sub_version_silent(true); },
         {{nothing, "connected", true}},
         "searching found(1) | [01] | [04] | identified(QN718-0022 none connected) connected "
         "[F4 02]"},
        {"lost while connected, found again when back",
         nothing,
         {{nothing, "connected"}, {unplug, "nothing"}, {replug, "connected"}},
         "searching found(1) | [01] | [04] | identified(QN718-0022 1.4 connected) connected "
         "[F4 02] || lost(16) searching nothing || searching found(1) | [01] | [04] | "
         "identified(QN718-0022 1.4 connected) connected [F4 02]"},
        {"greeting moves on only for reply 7 with 2, 1; a short write ends it",
         [] { sim::set_greeting_silent(true); },
         {{nothing, "found"},
          {[] {
               queue_reply(7, {2, 2});
           },
           "[01]"},
          {[] { queue_reply(7, {2}); }, "[01]"},
          {[] {
               queue_reply(6, {2, 1});
           },
           "[01]"},
          {[] {
               queue_reply(7, {2, 1});
           },
           "[04]"},
          {[] {
               queue_reply(7, {2, 1});
           },
           "[04]"},
          {[] { sim::fail_writes_after(0); }, "found"}},
         "searching found(1) || [01] || [01] || [01] || [04] || [04] || lost(9) searching "
         "found(1)"},
        {"lost while greeting a silent device",
         [] { sim::set_greeting_silent(true); },
         {{nothing, "[01]"}, {unplug, "nothing"}},
         "searching found(1) | [01] || lost(8) searching nothing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::reset();
        link.close();
        ConnectionMachine machine(link);
        c.setup();
        std::string trace;
        for (const Move& move : c.moves) {
            move.action();
            trace += trace.empty() ? "" : " || ";
            std::string lines;
            for (int i = 0; i < 20; ++i) {
                const std::string line = step(machine, move.hidden_switch);
                if (line.empty())
                    continue;
                lines += (lines.empty() ? "" : " | ") + line;
                if (line.find(move.until) != std::string::npos)
                    break;
            }
            trace += lines;
        }
        EXPECT_EQ(trace, c.expected);
    }
}

// After an unconfirmed identification the window greets on with command 4 before it polls
// again; the tool instead starts each attempt over, one poll and then command 1.
TEST_F(ConnectionMachineTest, AfterAnUnconfirmedIdentificationTheGreetingGoesOutBeforeAnyPoll) {
    sim::set_sub_version_silent(true);
    ConnectionMachine machine(link);
    for (int i = 0; i < 10 && step(machine, false).find("unconfirmed") == std::string::npos; ++i) {
    }
    EXPECT_EQ(step(machine, false), "[04]");
    EXPECT_EQ(sim::poll_reports(), 0) << "since the step began";

    for (int i = 0; i < 10 && step(machine, false).find("unconfirmed") == std::string::npos; ++i) {
    }
    sim::clear_received();
    machine.restart_greeting();
    EXPECT_EQ(sim::poll_reports(), 1);
    EXPECT_EQ(machine.state(), ConnectionState::greeting_with_command1);
    EXPECT_EQ(step(machine, false), "[01]");
}

}  // namespace
