// The relay against a loopback server and the simulated device: every byte the server gets
// back, the device side it leaves behind, and the bounds a hostile server runs into.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>

#include "app/language.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "remote/login.h"
#include "remote/remote_session.h"
#include "sim/sim_control.h"
#include "support/loopback_relay_peer.h"
#include "support/recording_remote_host.h"

namespace {

// The device reply as a relay record: "@R", reply_length - 1, code, payload, checksum.
std::string record(uint8_t code, const std::vector<uint8_t>& payload) {
    const std::string frame = bytes({static_cast<int>(payload.size() + 1), code}) +
                              std::string(payload.begin(), payload.end());
    const uint8_t check =
        frame_checksum(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
    return "@R" + bytes({static_cast<int>(frame.size())}) + frame.substr(1) + bytes({check});
}

class RelayTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        link_.set_return_log_lines(true);
        ASSERT_EQ(log_in(*session_, {"127.0.0.1", peer_.port()}, "secret"), LoginResult::logged_in);
        ASSERT_TRUE(peer_.wait_for_logins(1));
    }
    void TearDown() override { finish_session(*session_, link_, true); }

    // A new connection after the relay ended the last one.
    void log_in_again() {
        ASSERT_EQ(log_in(*session_, {"127.0.0.1", peer_.port()}, "secret"), LoginResult::logged_in);
        ASSERT_TRUE(peer_.wait_for_logins(++logins_));
    }

    void step(int count = 1) {
        for (int i = 0; i < count; ++i)
            relay_step(*session_, link_, *image_, host_);
    }
    std::chrono::milliseconds timed_step() {
        const auto start = std::chrono::steady_clock::now();
        step();
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    }
    // Each piece arrives in a receive of its own; returns everything the program answered.
    std::string exchange(const std::vector<std::string>& pieces) {
        for (const std::string& piece : pieces) {
            EXPECT_TRUE(peer_.send(piece));
            step();
        }
        step(2);
        return peer_.take(20);
    }

    LoopbackRelayPeer peer_;
    size_t logins_ = 1;
    std::unique_ptr<RemoteSession> session_ = std::make_unique<RemoteSession>();
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
    DeviceLink link_;
    RecordingRemoteHost host_;
};

TEST_F(RelayTest, CommandsAnswerExactlyTheirBytesWhereverTheStreamIsCut) {
    ASSERT_EQ(exchange({"@", "H"}), "@1");
    EXPECT_EQ(host_.statuses.back(), "Remote access active (M).");

    // A configuration read: command 5 for the 13-byte block, then the fetch.
    std::vector<uint8_t> payload = {0x01, 0x0D};
    for (uint16_t a = 0x201; a < 0x201 + 13; ++a)
        payload.push_back(sim::memory_byte(a));
    EXPECT_EQ(exchange({"@h", bytes({0x05, 0x02, 0x01}), bytes({0x0D}) + "@", "R"}),
              record(6, payload));
    ASSERT_EQ(sim::count_commands(5), 1);

    struct Case {
        const char* what;
        std::vector<std::string> pieces;
        std::string answer;
    };
    const Case cases[] = {
        {"nothing waiting", {"@R"}, bytes({'@', 'R', 0})},
        {"a keep-alive between an escape and its command", {"@", " ", "R"}, bytes({'@', 'R', 0})},
        {"a frame is not answered", {"@h", bytes({0x01, 0x00})}, ""},
        {"upload",
         {"@E0@E", "1", bytes({0x00, 0x03, 0x01}), bytes({0x02, 0x03})},
         "@E0@E1" + bytes({0x00, 0x06})},
        {"flag, lone space and two spaces", {" ", "@G", "  "}, bytes({'@', 'G', 0})},
        {"unknown raw byte and escaped data", {"@E9@@x@G"}, bytes({'@', 'G', 0})},
    };
    for (const Case& c : cases)
        EXPECT_EQ(exchange(c.pieces), c.answer) << c.what;
    EXPECT_EQ(sim::received_commands().back().frame_text, "!0101AC#");
    // "@i" keeps the log line for the server and drops the stale greeting reply; the fetch
    // sends every waiting record in one send.
    sim::queue_log_line("ab");
    EXPECT_EQ(exchange({"@i" + bytes({0x01, 0x00}), "@R"}),
              record(0xFF, {'a', 'b'}) + record(8, {0xCE, 0x02, 0x00, 22}));
    EXPECT_EQ(image_->image_length, 3);
    EXPECT_EQ(std::string(image_->image(), image_->image() + 3), bytes({1, 2, 3}));

    // A frame over the encoder's limit is refused whole; the stream stays in step.
    sim::clear_received();
    std::string long_frame = bytes({'@', 'h', 0x01, 144});
    long_frame.append(144, 'x');
    EXPECT_EQ(exchange({long_frame + "@G"}), bytes({'@', 'G', 0}));
    EXPECT_TRUE(sim::received_commands().empty());

    // Text lines reach the server without their line ends, then the end mark; the device is
    // told twice that they are done.
    sim::set_text_lines({"first\r\n", "\n", "last"});
    EXPECT_EQ(exchange({"@f"}),
              "@f" + bytes({5}) + "first@f" + bytes({0}) + "@f" + bytes({4}) + "last@g");
    EXPECT_EQ(sim::count_commands(0x56), 2);

    // Server data: acknowledged, the flag stays clear; unacknowledged, it says so.
    EXPECT_EQ(exchange({bytes({'@', 'F', 1, 0x42}), "@G"}), bytes({'@', 'G', 0}));
    // Data too long for a frame is refused, and not acknowledged.
    std::string long_data = bytes({'@', 'F', 144});
    long_data.append(144, 'd');
    EXPECT_EQ(exchange({long_data + "@G"}), bytes({'@', 'G', 1}));
    EXPECT_EQ(sim::count_commands(0x66), 1);
    session_->ack_timeout_flag = 0;  // never cleared by the relay; the next case needs it clear
    sim::set_remote_data_silent(true);
    EXPECT_EQ(exchange({bytes({'@', 'F', 1, 0x42}), "@G"}), bytes({'@', 'G', 1}));
    EXPECT_EQ(sim::count_commands(0x66), 2);

    // Release: the rest of the receive is dropped; the label says it once.
    EXPECT_EQ(exchange({"@!@G@H"}), "@!");
    EXPECT_FALSE(link_.is_open());
    EXPECT_EQ(host_.statuses.back(), "Disconnected.");
    step(kStatusHoldSteps);
    EXPECT_EQ(host_.statuses.back(), "Waiting for remote access.");
    EXPECT_EQ(exchange({"@R"}), "@!");
    EXPECT_EQ(host_.statuses.back(), "No USB device found.");
}

// The raw bootloader reports are the interruption sweep's relayed flash; here the upload cut
// across receives and the programming's progress records.
TEST_F(RelayTest, FlashesAnUploadCutAnywhereAndReportsProgressEveryEighthBlock) {
    sim::set_product(sim::Product::bootloader);
    ASSERT_EQ(exchange({"@H"}), "@2");
    EXPECT_EQ(host_.statuses.back(), "Remote access active (BOOT).");

    // 1,000 bytes in two blocks, cut inside the header and inside the data.
    std::string image;
    for (int i = 0; i < 1000; ++i)
        image.push_back(static_cast<char>(i * 7 + 3));
    const auto block_answer = [&](size_t from, size_t size) {
        int sum = 0;
        for (size_t i = from; i < from + size; ++i)
            sum += static_cast<uint8_t>(image[i]);
        sum %= 65535;
        return "@E1" + bytes({sum >> 8, sum & 0xFF});
    };
    // A longer upload first, never programmed: "@E0" must leave none of it in the padding.
    const int left_over_sum = 1100 * 'Z' % 65535;
    ASSERT_EQ(exchange({"@E1" + bytes({0x04, 0x4C}) + std::string(1100, 'Z')}),
              "@E1" + bytes({left_over_sum >> 8, left_over_sum & 0xFF}));
    EXPECT_EQ(exchange({"@E0@E1" + bytes({0x02}), bytes({0x58}) + image.substr(0, 100),
                        image.substr(100, 500)}),
              "@E0" + block_answer(0, 600));
    EXPECT_EQ(exchange({"@E1" + bytes({0x01, 0x90}) + image.substr(600, 1), image.substr(601)}),
              block_answer(600, 400));
    ASSERT_EQ(image_->image_length, 1000);

    const int base = kExpectedStartAddress;
    const std::string program =
        "@E5" + bytes({base & 0xFF, base >> 8 & 0xFF, base >> 16 & 0xFF, base >> 24});
    // Progress every eighth 56-byte block: offsets 0 and 448 and 896 of 1,000.
    EXPECT_EQ(exchange({program}), "@E5" + bytes({0, 0}) + "@E5" + bytes({0x01, 0xC0}) + "@E5" +
                                       bytes({0x03, 0x80}) + "@E5" + bytes({0x03, 0xE8}));
    // The last block is padded with zeros, as a flash over USB pads it.
    const std::vector<uint8_t> flash = sim::bootloader_flash(base, 1008);
    EXPECT_EQ(std::string(flash.begin(), flash.end()), image + std::string(8, '\0'));
}

TEST_F(RelayTest, RawCommandsWithoutADeviceAnswerFailureAndTouchNothing) {
    EXPECT_EQ(
        exchange({"@E2@E3" + bytes({1, 0}) + "@E4" + bytes({5}) + "@E5" + bytes({0, 0, 0, 0})}),
        "@E3" + bytes({0xFF}) + "@E4" + "@E5" + bytes({0x03, 0xE8}));
    EXPECT_EQ(sim::open_count(), 0);
    // Programming with an image but no bootloader cannot succeed: the session ends.
    image_->image_length = 56;
    EXPECT_EQ(exchange({"@E5" + bytes({0x00, 0x60, 0x00, 0x1D})}), "@E5" + bytes({0, 0}) + "@!");
    EXPECT_TRUE(peer_.closed_by_program(50));
    EXPECT_FALSE(session_->connected());
    EXPECT_EQ(session_->reconnect_countdown, kReconnectSteps - 2) << "two idle steps since";
}

// An upload is held to the largest image the application area takes (499,688 bytes), not
// to the buffer, whose last block could not be programmed.
TEST_F(RelayTest, AnUploadLargerThanTheApplicationAreaEndsTheSessionUnwritten) {
    const int32_t largest = 499688;
    image_->image_length = largest - 3;
    EXPECT_EQ(exchange({"@E1" + bytes({0, 3, 1, 1, 1})}), "@E1" + bytes({0, 3}));
    EXPECT_EQ(image_->image_length, largest);

    for (const int32_t before : {largest - 2, 525280, 525290}) {
        SCOPED_TRACE(before);
        image_->image_length = before;
        EXPECT_EQ(exchange({"@E1" + bytes({0, 3, 9, 9, 9})}), "@!");
        EXPECT_EQ(image_->image_length, before);
        EXPECT_TRUE(peer_.closed_by_program(50));
        log_in_again();
    }
    EXPECT_EQ(host_.ended, 3);
}

// Only the application area is the server's to program; anything else ends the session before
// a single request reaches the bootloader.
TEST_F(RelayTest, ProgrammingOutsideTheApplicationAreaIsRefusedBeforeTheFirstWrite) {
    image_->image_length = 100;  // two blocks, the second padded to 112 bytes
    for (int i = 0; i < 100; ++i)
        image_->bytes[kFirmwareHeaderSize + i] = static_cast<uint8_t>(i);
    const struct {
        const char* what;
        uint32_t base;
        bool programmed;
    } cases[] = {
        {"the application area's start", kExpectedStartAddress, true},
        {"the last block ending at the marker", kValidMarkerAddress - 112, true},
        {"the bootloader's area", kExpectedStartAddress - 56, false},
        {"the last block's padding over the marker", kValidMarkerAddress - 100, false},
        {"far outside the flash", 0x00000000, false},
        {"an address that wraps round", 0xFFFFFFC8, false},
    };
    sim::set_product(sim::Product::bootloader);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(exchange({"@H"}), "@2");
        const int requests = sim::bootloader_requests();
        const uint32_t b = c.base;
        const std::string answer = exchange(
            {"@E5" + bytes({static_cast<int>(b & 0xFF), static_cast<int>(b >> 8 & 0xFF),
                            static_cast<int>(b >> 16 & 0xFF), static_cast<int>(b >> 24)})});
        if (c.programmed) {
            EXPECT_EQ(answer, "@E5" + bytes({0, 0}) + "@E5" + bytes({0x03, 0xE8}));
            const std::vector<uint8_t> flash = sim::bootloader_flash(b, 100);
            EXPECT_TRUE(std::equal(flash.begin(), flash.end(), image_->image()));
            continue;
        }
        EXPECT_EQ(answer, "@!");
        EXPECT_EQ(sim::bootloader_requests(), requests);
        EXPECT_TRUE(peer_.closed_by_program(50));
        log_in_again();
    }
    EXPECT_EQ(host_.ended, 4);
}

TEST_F(RelayTest, AUserWhoEndsTheSessionDuringAnEventPumpStopsTheStep) {
    host_.during_pause = [&] { finish_session(*session_, link_, true); };
    EXPECT_EQ(exchange({"@H@G"}), "@!");
    EXPECT_FALSE(link_.is_open());
    EXPECT_EQ(sim::open_handles(), 0);
    EXPECT_EQ(host_.ended, 0) << "the user's end is not reported back as the relay's";
    EXPECT_EQ(session_->reconnect_countdown, kNoReconnect);
}

// The acknowledgement's waits serve the user like every other wait; a user who ends the
// session in one stops the step there, and the rest of the receive is not carried out.
TEST_F(RelayTest, AUserWhoEndsTheSessionDuringTheAcknowledgementWaitStopsIt) {
    EXPECT_EQ(exchange({"@H"}), "@1");
    sim::set_remote_data_silent(true);
    host_.during_pause = [&] { finish_session(*session_, link_, true); };
    ASSERT_TRUE(peer_.send(bytes({'@', 'F', 1, 0x42}) + "@G"));
    const int pauses = host_.pauses;
    step();
    EXPECT_EQ(host_.pauses - pauses, 1) << "no further waits after the end";
    EXPECT_EQ(peer_.take(20), "@!") << "the user's end, and no answer to the rest";
    EXPECT_FALSE(session_->connected());
    EXPECT_EQ(sim::count_commands(0x66), 1);
}

TEST_F(RelayTest, AServerThatStopsMidBlockIsDroppedAfterItsSilence) {
    EXPECT_EQ(exchange({"@H"}), "@1");
    EXPECT_EQ(exchange({"@E0@E1" + bytes({0x10, 0x00}) + std::string(10, 'a')}), "@E0");
    int steps = 0;
    auto longest = std::chrono::milliseconds(0);
    for (; session_->connected() && steps < 400; ++steps)
        longest = std::max(longest, timed_step());
    EXPECT_EQ(steps, 256 - 2);  // the exchange's own quiet steps counted too
    EXPECT_LT(longest.count(), 100) << "each step stays short";
    EXPECT_EQ(peer_.take(20), "@!");
    EXPECT_FALSE(link_.is_open());
    EXPECT_EQ(session_->reconnect_countdown, kReconnectSteps);
}

TEST_F(RelayTest, AFloodOfDataIsTakenAtMostOneReceiveAStep) {
    std::string flood;
    for (int i = 0; i < 40000; ++i)
        flood += "x@@";
    ASSERT_TRUE(peer_.send(flood + "@G"));
    int steps = 0;
    std::string answer;
    for (; answer.empty() && steps < 200; ++steps) {
        EXPECT_LT(timed_step().count(), 100);
        answer += peer_.take();
    }
    EXPECT_EQ(answer, bytes({'@', 'G', 0}));
    EXPECT_GE(steps, static_cast<int>(flood.size() / 8192));
}

TEST(RelayQueue, KeepsWholeRecordsAndDropsWhatDoesNotFit) {
    DeviceReply reply;
    const std::string text(140, 'l');
    const std::string frame =
        encode_frame(0xFF, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    reply.reply_length = decode_frame(frame, reply.bytes, sizeof reply.bytes).length;
    RelayQueue queue;
    size_t kept = 0;
    while (queue.append(reply))
        ++kept;
    EXPECT_EQ(kept, RelayQueue::kCapacity / (3 + 142));
    EXPECT_EQ(queue.byte_count(), kept * (3 + 142));
    reply.reply_length = 257;  // too long for a one-byte count
    queue.clear();
    EXPECT_FALSE(queue.append(reply));
    EXPECT_FALSE(queue.holds_records());
}

TEST(RemoteLogin, RefusesWhatCannotWorkBeforeSendingAnything) {
    LoopbackRelayPeer peer;
    struct Case {
        RemoteServer server;
        std::string password;
        LoginResult result;
        bool reaches_server;
    };
    const Case cases[] = {
        {{"127.0.0.1", peer.port()}, std::string(39, 'p'), LoginResult::password_too_long, false},
        {{"", 55555}, "secret", LoginResult::cannot_resolve, false},
        {{"127.0.0.1", 1}, "secret", LoginResult::cannot_connect, false},
        {{"127.0.0.1", peer.port()}, "wrong", LoginResult::login_failed, true},
        {{"127.0.0.1", peer.port()}, std::string(38, 'p'), LoginResult::login_failed, true},
    };
    size_t logins = 0;
    for (const Case& c : cases) {
        RemoteSession session;
        EXPECT_EQ(log_in(session, c.server, c.password), c.result) << c.password;
        if (c.reaches_server) {
            ASSERT_TRUE(peer.wait_for_logins(++logins));
            EXPECT_EQ(peer.logins().back(), c.password + "\n");
        }
        EXPECT_EQ(session.connected(), c.result != LoginResult::password_too_long &&
                                           c.result != LoginResult::cannot_resolve);
    }
    EXPECT_EQ(peer.logins().size(), logins);
}

}  // namespace
