// The HID link against the simulated device: what goes over the wire and what comes back.
#include <gtest/gtest.h>

#include <hidapi.h>

#include <string>
#include <vector>

#include "device/command_codes.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "sim/sim_control.h"
#include "support/hang_guard.h"

namespace {

class DeviceLinkTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        hid_init();
        link.set_listeners({[this](std::string_view text) { texts += text; },
                            [this](std::string_view cause) { failures.emplace_back(cause); }});
    }

    void open(sim::Product product) {
        sim::set_product(product);
        ASSERT_EQ(link.open(), OpenResult::link);
        sim::clear_received();
    }
    // Polls until a reply comes or the tries run out; the reply's code, or -1.
    int next_reply_code(int tries = 5) {
        for (int i = 0; i < tries; ++i) {
            if (link.poll())
                return link.reply().code();
        }
        return -1;
    }

    std::string texts;  // what the link hands on besides replies
    std::vector<std::string> failures;
    DeviceLink link;
};

TEST_F(DeviceLinkTest, OpenRecognisesEachProductString) {
    const std::pair<sim::Product, const char*> cases[] = {
        {sim::Product::programmer_long, "1: kind 1, 64-byte reports, 1 handle"},
        {sim::Product::programmer_short, "1: kind 1, 8-byte reports, 1 handle"},
        {sim::Product::usbic_short, "1: kind 3, 8-byte reports, 1 handle"},
        {sim::Product::bootloader, "2: kind 2, 64-byte reports, 1 handle"},
        {sim::Product::unknown, "0: kind 0, closed, 0 handle"},  // must not stay open
    };
    for (const auto& [product, expected] : cases) {
        sim::set_product(product);
        const int result = static_cast<int>(link.open());
        EXPECT_EQ(std::to_string(result) + ": kind " + std::to_string(int(link.kind())) + ", " +
                      (link.is_open() ? std::to_string(link.report_size()) + "-byte reports"
                                      : std::string("closed")) +
                      ", " + std::to_string(sim::open_handles()) + " handle",
                  expected);
        link.close();
        EXPECT_EQ(link.kind(), DeviceKind::none);
    }
    sim::plug(false);
    EXPECT_EQ(link.open(), OpenResult::nothing);
}

TEST_F(DeviceLinkTest, CommandsGoOutExactlyAsFramesAndRepliesComeOnlyAfterAPoll) {
    for (auto product : {sim::Product::programmer_long, sim::Product::programmer_short}) {
        open(product);
        const auto before = sim::written_reports();
        const uint8_t payload[] = {0x00, 0x10};
        link.send_frame(5, payload, 2);
        auto expected = before;
        for (const auto& report : frame_to_reports("!030500106C#", link.report_size()))
            expected.push_back(report);
        EXPECT_EQ(sim::written_reports(), expected);
        EXPECT_EQ(sim::count_commands(5), 1);

        link.send_command(4);
        ASSERT_TRUE(link.poll());
        EXPECT_EQ(link.reply().code(), 8);
        EXPECT_EQ(link.reply().reply_length, 7);
        EXPECT_EQ(link.reply().payload()[0] | link.reply().payload()[1] << 8, 718);
        link.close();
    }
}

TEST_F(DeviceLinkTest, OversizedPayloadIsRefusedAndNothingIsWritten) {
    open(sim::Product::programmer_long);
    uint8_t payload[200] = {};
    link.send_command(0x66, payload, 144);
    EXPECT_EQ(sim::count_commands(0x66), 0);
    const size_t before = sim::written_reports().size();  // the drain before it polled
    link.send_frame(0x66, payload, 144);
    link.send_frame(0x66, payload, -1);
    EXPECT_EQ(sim::written_reports().size(), before);
    link.send_frame(0x66, payload, 143);
    EXPECT_EQ(sim::count_commands(0x66), 1);
}

TEST_F(DeviceLinkTest, DamagedOrOverlongFramesNeverComeThroughAndTheNextGoodOneDoes) {
    for (auto fault : {sim::ReplyFault::lower_case, sim::ReplyFault::bad_checksum,
                       sim::ReplyFault::wrong_length}) {
        open(sim::Product::programmer_short);
        sim::queue_raw_reply("!0101AC#");
        sim::set_next_reply_fault(fault);
        link.send_frame(4);
        EXPECT_EQ(next_reply_code(), 8) << "the damaged frame came through, or nothing did";
        link.close();
    }
    open(sim::Product::programmer_long);
    sim::queue_raw_reply("!" + std::string(1100, 'A'));
    EXPECT_FALSE(link.poll());
    link.drain();
    link.send_command(4);
    EXPECT_EQ(next_reply_code(1), 8);
}

TEST_F(DeviceLinkTest, ReplyTextSplitOrSharedAcrossReportsIsReassembled) {
    open(sim::Product::programmer_long);
    sim::set_chunk_limit(3);
    link.send_command(4);
    EXPECT_EQ(next_reply_code(1), 8);

    sim::set_two_frames_in_one_run(true);
    const uint8_t zero = 0;
    link.send_command(0x0A, &zero, 1);
    EXPECT_EQ(next_reply_code(1), 0x1A);
    const int polls = sim::poll_reports();
    EXPECT_EQ(next_reply_code(1), 0x0A);
    EXPECT_EQ(sim::poll_reports(), polls) << "the buffered frame needs no poll report";
}

TEST_F(DeviceLinkTest, LogLinesAndErrorDumpsGoToTheConsoleAndAreNeverReturned) {
    open(sim::Product::programmer_long);
    sim::queue_log_line("engine start\n");
    link.send_frame(4);
    EXPECT_EQ(next_reply_code(1), 8) << "the log line was handed to the caller";
    EXPECT_EQ(texts, "engine start\n") << texts;

    sim::queue_error_dump({"stack", "fault at 1D00"});
    EXPECT_FALSE(link.poll());
    for (const char* part : {"!!!ERROR!!!", "stack", "fault at"})
        EXPECT_NE(texts.find(part), std::string::npos) << texts;
    link.send_command(4);
    EXPECT_EQ(next_reply_code(1), 8);
}

TEST_F(DeviceLinkTest, ShortWriteClosesTheLinkAndStopsTheFrame) {
    open(sim::Product::programmer_short);
    sim::fail_writes_after(1);
    link.send_frame(4);  // two reports in short mode: the second write comes up short
    EXPECT_FALSE(link.is_open());
    EXPECT_EQ(link.kind(), DeviceKind::none);
    EXPECT_EQ(sim::count_commands(4), 0);
    EXPECT_FALSE(link.poll());

    open(sim::Product::programmer_long);
    sim::fail_writes_after(0);
    EXPECT_FALSE(link.poll());
    EXPECT_FALSE(link.is_open());
    EXPECT_EQ(failures.size(), 2u) << "each closing says why, once";
    EXPECT_NE(link.last_failure().find("short write"), std::string::npos);
}

TEST_F(DeviceLinkTest, SendCommandDrainsStaleReplies) {
    open(sim::Product::programmer_long);
    link.send_frame(4);  // its reply is never fetched
    const uint8_t read_request[] = {0x01, 13};
    link.send_command(5, read_request, 2);
    EXPECT_EQ(next_reply_code(1), 6) << "a stale identity reply was taken as the answer";
}

TEST_F(DeviceLinkTest, WaitsForSilenceEndWithADeviceThatAnswersEveryPoll) {
    const HangGuard guard(std::chrono::seconds(20), "a wait for silence on a chatty device");
    int served = 0;
    link.set_pause([&served](int ms) { served += ms == 0; });
    open(sim::Product::programmer_long);
    sim::set_answers_every_poll(true);
    const auto polled = [before = sim::poll_reports()] { return sim::poll_reports() - before; };

    link.drain();
    EXPECT_EQ(polled(), DeviceLink::kMaxPollsUntilSilent);
    EXPECT_GE(served, DeviceLink::kMaxPollsUntilSilent / DeviceLink::kPollsBetweenServes - 1)
        << "the window is served while the device keeps talking";
    EXPECT_FALSE(link.drain_noting(reply::kDone));
    EXPECT_FALSE(link.await_reply(reply::kDone, DeviceLink::kUntilSilent));
    EXPECT_EQ(polled(), 3 * DeviceLink::kMaxPollsUntilSilent);
    // Commands still go out, and their answers still come through the chatter.
    EXPECT_TRUE(link.send_command(command::kIdentify));
    EXPECT_TRUE(link.await_reply(reply::kIdentity, DeviceLink::kUntilSilent));
}

// The link's pauses serve the window, where a handler may try to start a second exchange.
// The flasher takes the bootloader from the link: the link lets it go without closing it, and
// it closes once, with its last owner. A read that could wait for ever is refused unread.
TEST_F(DeviceLinkTest, AReleasedPortClosesWithItsLastOwnerAndRefusesEndlessReads) {
    sim::set_product(sim::Product::bootloader);
    ASSERT_EQ(link.open(), OpenResult::bootloader);
    HidPort port = link.release_port();
    EXPECT_EQ(link.raw_port(), nullptr);
    EXPECT_EQ(link.kind(), DeviceKind::none);
    link.close();
    EXPECT_EQ(sim::open_handles(), 1);
    uint8_t reply[kLongReportSize];
    const int calls = sim::hid_calls();
    EXPECT_EQ(port.raw_read(reply, sizeof reply, -1), -1);
    EXPECT_EQ(sim::hid_calls(), calls);
    {
        HidPort owner = std::move(port);
        port = std::move(owner);
        EXPECT_EQ(sim::open_handles(), 1);
    }
    EXPECT_TRUE(port.is_open());
    port = HidPort();
    EXPECT_EQ(sim::open_handles(), 0);
}

TEST_F(DeviceLinkTest, OneExchangeAtATimeEndsWithItsGuardOnEveryPath) {
    std::vector<bool> told;
    link.set_busy_listener([&](bool busy) { told.push_back(busy); });
    const auto run = [this](bool leave_early) {
        auto exchange = link.begin_exchange();
        if (!exchange)
            return false;
        EXPECT_TRUE(link.busy());
        EXPECT_FALSE(link.begin_exchange()) << "nested";
        if (leave_early)
            return true;
        const DeviceLink::Exchange moved(std::move(*exchange));
        EXPECT_TRUE(link.busy()) << "a moved guard still holds it";
        return true;
    };
    EXPECT_TRUE(run(true));
    EXPECT_FALSE(link.busy());
    EXPECT_TRUE(run(false));
    EXPECT_FALSE(link.busy());
    try {
        const auto exchange = link.begin_exchange();
        throw 1;
    } catch (int) {
    }
    EXPECT_FALSE(link.busy());
    EXPECT_EQ(told, (std::vector<bool>{true, false, true, false, true, false}))
        << "a refused begin tells nothing";
}

}  // namespace
