// The HID link against the simulated device: what goes over the wire and what comes back.
#include <gtest/gtest.h>

#include <hidapi.h>

#include <string>

#include "console/traffic_log.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "sim/sim_control.h"

namespace {

class DeviceLinkTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        hid_init();
        clear_traffic();
    }
    void TearDown() override { close_device(); }

    void open(sim::Product product) {
        sim::set_product(product);
        ASSERT_EQ(open_device(), 1);
        sim::clear_received();
    }
};

std::string written_frame_text(size_t first_report) {
    std::string text;
    const auto& reports = sim::written_reports();
    for (size_t i = first_report; i < reports.size(); ++i) {
        const auto& r = reports[i];
        if (r[1] == kPollFlags)
            continue;
        if (r.size() == 65) {
            text.append(r.begin() + 3, r.begin() + 3 + r[2]);
        } else {
            text.append(r.begin() + 2, r.begin() + 2 + ((r[1] >> 1) & 7));
        }
    }
    return text;
}

}  // namespace

TEST_F(DeviceLinkTest, OpenRecognisesEachProductString) {
    sim::set_product(sim::Product::programmer_long);
    EXPECT_EQ(open_device(), 1);
    EXPECT_EQ(device_kind(), kDeviceProgrammerLink);
    EXPECT_EQ(report_size(), 64);
    close_device();
    EXPECT_EQ(device_kind(), kDeviceNone);
    EXPECT_FALSE(device_is_open());

    sim::set_product(sim::Product::programmer_short);
    EXPECT_EQ(open_device(), 1);
    EXPECT_EQ(report_size(), 8);
    close_device();

    sim::set_product(sim::Product::usbic_short);
    EXPECT_EQ(open_device(), 1);
    EXPECT_EQ(device_kind(), kDeviceUsbicLink);
    close_device();

    sim::set_product(sim::Product::bootloader);
    EXPECT_EQ(open_device(), 2);
    EXPECT_EQ(device_kind(), kDeviceBootloader);
    EXPECT_TRUE(device_is_open());
    close_device();

    sim::set_product(sim::Product::unknown);
    EXPECT_EQ(open_device(), 0);
    EXPECT_FALSE(device_is_open());
    EXPECT_EQ(sim::open_handles(), 0) << "an unknown device must not stay open";

    sim::plug(false);
    EXPECT_EQ(open_device(), 0);
}

TEST_F(DeviceLinkTest, CommandsGoOutExactlyAsFramesInBothModes) {
    for (auto product : {sim::Product::programmer_long, sim::Product::programmer_short}) {
        open(product);
        const size_t first = sim::written_reports().size();
        const uint8_t payload[] = {0x00, 0x10};
        send_frame(5, payload, 2);
        EXPECT_EQ(written_frame_text(first), "!030500106C#");
        ASSERT_EQ(sim::received_commands().size(), 1u);
        EXPECT_EQ(sim::received_commands()[0].code, 5);
        close_device();
    }
}

TEST_F(DeviceLinkTest, OversizedPayloadIsRefusedAndNothingIsWritten) {
    open(sim::Product::programmer_long);
    uint8_t payload[200] = {};
    send_command(0x66, payload, 144);
    EXPECT_EQ(sim::count_commands(0x66), 0);
    const size_t before = sim::written_reports().size();
    send_frame(0x66, payload, 144);
    send_frame(0x66, payload, -1);
    EXPECT_EQ(sim::written_reports().size(), before);
    send_frame(0x66, payload, 143);
    EXPECT_EQ(sim::count_commands(0x66), 1);
}

TEST_F(DeviceLinkTest, RepliesComeOnlyAfterAPoll) {
    for (auto product : {sim::Product::programmer_long, sim::Product::programmer_short}) {
        open(product);
        send_command(4);
        EXPECT_EQ(receive_frame(), 0) << "no poll report, no reply";
        ASSERT_TRUE(poll_device());
        EXPECT_EQ(device_reply().code(), 8);
        EXPECT_EQ(device_reply().reply_length, 7);
        EXPECT_EQ(device_reply().payload()[0], 718 & 0xFF);
        EXPECT_EQ(device_reply().payload()[1], 718 >> 8);
        close_device();
    }
}

TEST_F(DeviceLinkTest, BadFramesAreDroppedAndTheNextGoodOneIsReceived) {
    for (auto fault : {sim::ReplyFault::lower_case, sim::ReplyFault::bad_checksum,
                       sim::ReplyFault::wrong_length}) {
        open(sim::Product::programmer_short);
        sim::queue_raw_reply("!0101AC#");
        sim::set_next_reply_fault(fault);
        send_frame(4);
        bool got_identity = false;
        for (int i = 0; i < 5 && !got_identity; ++i) {
            if (poll_device()) {
                EXPECT_NE(device_reply().code(), 1) << "the damaged frame came through";
                got_identity = device_reply().code() == 8;
            }
        }
        EXPECT_TRUE(got_identity);
        close_device();
    }
}

TEST_F(DeviceLinkTest, SecondFrameOfOneRunComesWithoutAnotherPoll) {
    open(sim::Product::programmer_long);
    sim::set_two_frames_in_one_run(true);
    const uint8_t zero = 0;
    send_command(0x0A, &zero, 1);
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 0x1A);
    const int polls = sim::poll_reports();
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 0x0A);
    EXPECT_EQ(sim::poll_reports(), polls) << "the buffered frame needs no poll report";
}

TEST_F(DeviceLinkTest, SplitChunksAreReassembled) {
    open(sim::Product::programmer_long);
    sim::set_chunk_limit(3);
    send_command(4);
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 8);
}

TEST_F(DeviceLinkTest, OverlongReplyTextIsDroppedAndTheLinkRecovers) {
    open(sim::Product::programmer_long);
    sim::queue_raw_reply("!" + std::string(1100, 'A'));
    EXPECT_FALSE(poll_device());
    drain_replies();
    send_command(4);
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 8);
}

TEST_F(DeviceLinkTest, LogLinesGoToTheConsoleAndAreNeverReturned) {
    open(sim::Product::programmer_long);
    sim::queue_log_line("engine start\n");
    send_frame(4);
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 8) << "the log line was handed to the caller";
    EXPECT_NE(traffic_text().find("]> engine start\r\n"), std::string::npos) << traffic_text();
}

TEST_F(DeviceLinkTest, ErrorDumpIsShownAndNoReplyReturned) {
    open(sim::Product::programmer_short);
    sim::queue_error_dump({"stack", "fault at 1D00"});
    EXPECT_FALSE(poll_device());
    const std::string& text = traffic_text();
    EXPECT_NE(text.find("!!!ERROR!!!"), std::string::npos) << text;
    EXPECT_NE(text.find("stack"), std::string::npos);
    EXPECT_NE(text.find("fault at"), std::string::npos);
    send_command(4);
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 8);
}

TEST_F(DeviceLinkTest, ShortWriteClosesTheLinkAndStopsTheFrame) {
    open(sim::Product::programmer_short);
    sim::fail_writes_after(1);
    const size_t before = sim::written_reports().size();
    send_frame(4);  // two reports in short mode: the second write comes up short
    EXPECT_FALSE(device_is_open());
    EXPECT_EQ(device_kind(), kDeviceNone);
    EXPECT_LE(sim::written_reports().size(), before + 2);
    EXPECT_EQ(sim::count_commands(4), 0);
    EXPECT_FALSE(poll_device());
}

TEST_F(DeviceLinkTest, ShortPollWriteClosesTheLink) {
    open(sim::Product::programmer_long);
    sim::fail_writes_after(0);
    EXPECT_EQ(send_poll(), -1);
    EXPECT_FALSE(device_is_open());
    EXPECT_EQ(send_poll(), 0) << "without a handle there is nothing to write";
}

TEST_F(DeviceLinkTest, SendCommandDrainsStaleReplies) {
    open(sim::Product::programmer_long);
    send_frame(4);  // its reply is never fetched
    const uint8_t read_request[] = {0x01, 13};
    send_command(5, read_request, 2);
    ASSERT_TRUE(poll_device());
    EXPECT_EQ(device_reply().code(), 6) << "a stale identity reply was taken as the answer";
}
