// Raw commands from the console against the simulated device, and the log file.
#include <gtest/gtest.h>

#include <hidapi.h>

#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "console/console_command.h"
#include "console/traffic_log.h"
#include "device/device_link.h"
#include "platform/files.h"
#include "sim/sim_control.h"
#include "support/hang_guard.h"

namespace {

// The record without its time stamps, which the tests cannot know.
std::string unstamped(const std::string& text) {
    static const std::regex stamp(R"(\[\d{4}\.\d\d\.\d\d \d\d:\d\d:\d\d\])");
    return std::regex_replace(text, stamp, "");
}

class ConsoleSendTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        hid_init();
        link_.set_listeners(
            {[this](std::string_view text) { traffic_.log(TrafficDirection::received, text); },
             {}});
        link_.set_pause([this](int ms) { paused_ms_ += ms; });
        ASSERT_EQ(link_.open(), OpenResult::link);
        paused_ms_ = 0;
        traffic_.clear();
        sim::clear_received();
    }
    ConsoleSendResult send(const char* command, const std::string& data, bool response = false) {
        return console_send(link_, history_, traffic_, {command, data, response});
    }

    TrafficLog traffic_;
    DeviceLink link_;
    CommandHistory history_;
    int paused_ms_ = 0;
};

TEST_F(ConsoleSendTest, SendsTheTypedFrameAndRecordsItFirst) {
    const ConsoleSendResult result = send("0a", "\\x00\\x10");
    EXPECT_TRUE(result.delivered);
    ASSERT_EQ(sim::received_commands().size(), 1u);
    EXPECT_EQ(sim::received_commands()[0].code, 0x0A);
    EXPECT_EQ(sim::received_commands()[0].payload, (std::vector<uint8_t>{0x00, 0x10}));
    EXPECT_EQ(unstamped(traffic_.text()), "\n< \\x0a \\x00\\x10\r\n") << "the command as typed";
    EXPECT_EQ(history_.entry(0).command, "0a");
    EXPECT_EQ(paused_ms_, 0) << "no wait without Response";
}

TEST_F(ConsoleSendTest, RefusedFieldsSendRecordAndStoreNothing) {
    // {command, data length, bad command, data too long}
    const std::tuple<const char*, size_t, bool, bool> cases[] = {
        {"G1", 0, true, false},   {"1", 0, true, false},   {"", 0, true, false},
        {"0a", 144, false, true}, {"0g", 200, true, true},
    };
    for (const auto& [command, length, bad_command, too_long] : cases) {
        const ConsoleSendResult result = send(command, std::string(length, 'x'));
        EXPECT_EQ(std::make_pair(result.bad_command, result.data_too_long),
                  std::make_pair(bad_command, too_long))
            << command;
    }
    {
        const auto other = link_.begin_exchange();  // a save in progress, say
        const ConsoleSendResult refused = send("0a", "x", true);
        EXPECT_TRUE(refused.refused);
        EXPECT_FALSE(refused.bad_command || refused.delivered);
        EXPECT_EQ(paused_ms_, 0) << "no wait either";
    }
    EXPECT_EQ(sim::received_commands().size(), 0u);
    EXPECT_EQ(traffic_.text(), "");
    EXPECT_EQ(history_.write_index(), 99);
    EXPECT_TRUE(send("0a", std::string(143, 'x')).delivered) << "a full frame goes";
    EXPECT_FALSE(link_.busy()) << "the exchange ended with the send";
}

TEST_F(ConsoleSendTest, ResponseIsTheFirstReplyWithCodeOne) {
    sim::set_sub_version(0x48, 0x69);
    EXPECT_EQ(send("f4", "", true).response, "01 - 4869 - \"Hi\"\n");
    EXPECT_EQ(unstamped(traffic_.text()), "\n< \\xf4 \r\n> 01 - 4869 - \"Hi\"\r\n");

    traffic_.clear();  // device log lines come in the middle and are recorded as they come
    EXPECT_EQ(send("30", "\\x02", true).response, "01 - 02 - \"?\"\n");
    EXPECT_NE(traffic_.text().find("]> *IO inputs"), std::string::npos) << traffic_.text();

    paused_ms_ = 0;  // the speed query's replies carry other codes: no response at all
    traffic_.clear();
    EXPECT_EQ(send("0A", "\\x00", true).response, "");
    EXPECT_EQ(paused_ms_, 40 * 50);
    EXPECT_EQ(unstamped(traffic_.text()), "\n< \\x0A \\x00\r\n");
}

TEST_F(ConsoleSendTest, ADeviceThatAnswersEveryPollEndsTheWaitOnTime) {
    const HangGuard guard(std::chrono::seconds(20), "the console's wait on a chatty device");
    sim::set_answers_every_poll(true);
    const auto started = std::chrono::steady_clock::now();
    // Command 0x0A is answered with other codes than 1: the wait runs to its end.
    const ConsoleSendResult result = send("0a", "\\x00", true);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
    EXPECT_TRUE(result.delivered);
    EXPECT_EQ(result.response, "");
    EXPECT_EQ(paused_ms_, 40 * 50) << "every round still pauses, serving the window";
    // The answer still comes through the chatter.
    EXPECT_EQ(send("f4", "", true).response, "01 - 0104 - \"??\"\n");
}

TEST_F(ConsoleSendTest, LogFileAppendsEverythingFromItsStart) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("qn718-log-" + std::to_string(getpid())))
            .string();
    std::filesystem::remove(path);
    traffic_.clear();
    traffic_.log(TrafficDirection::received, "before\n");
    ASSERT_TRUE(traffic_.start_file(path));
    EXPECT_EQ(unstamped(traffic_.text()), "> before\r\n") << "the store keeps its lines";
    send("f4", "");
    traffic_.clear();  // F8: the file keeps everything
    traffic_.log(TrafficDirection::received, "after\n");
    std::string text;
    read_whole_file(path, 1 << 20, text);
    EXPECT_EQ(unstamped(text), "> before\r\n\n< \\xf4 \r\n> after\r\n") << "readable while open";
    traffic_.stop_file();
    traffic_.log(TrafficDirection::received, "meanwhile\n");
    ASSERT_TRUE(traffic_.start_file(path));
    traffic_.stop_file();
    read_whole_file(path, 1 << 20, text);
    EXPECT_EQ(unstamped(text), "> before\r\n\n< \\xf4 \r\n> after\r\n> meanwhile\r\n")
        << "appended, each line once";
    std::filesystem::remove(path);

    traffic_.log(TrafficDirection::received, "kept\n");
    EXPECT_FALSE(traffic_.start_file(path + "/no/such/folder"));
    EXPECT_FALSE(traffic_.file_open());
    EXPECT_NE(traffic_.text().find("kept"), std::string::npos);
}

}  // namespace
