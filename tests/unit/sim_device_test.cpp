// The simulated QN718 seen from the raw hidapi side, without the link: what the tests and the
// demo rely on when they take its replies for a real device's.
#include <gtest/gtest.h>
#include <hidapi.h>

#include <cstring>
#include <string>
#include <vector>

#include "device/frame_codec.h"
#include "sim/sim_control.h"

namespace {

struct RawHost {
    hid_device* dev = nullptr;
    int size = kLongReportSize;

    explicit RawHost(uint16_t product_id = 0xF1C9) {
        dev = hid_open(0x12AA, product_id, nullptr);
        size = product_id == 0xF1C9 ? kLongReportSize : kShortReportSize;
    }
    ~RawHost() {
        if (dev)
            hid_close(dev);
    }

    void send(uint8_t code, const std::vector<uint8_t>& payload = {}) {
        const std::string text = encode_frame(code, payload.data(), payload.size());
        for (const auto& report : frame_to_reports(text, size)) {
            ASSERT_EQ(hid_write(dev, report.data(), report.size()),
                      static_cast<int>(report.size()));
        }
    }
    int poll() {
        const auto report = poll_report(size);
        return hid_write(dev, report.data(), report.size());
    }
    std::vector<std::vector<uint8_t>> read_reports() {
        std::vector<std::vector<uint8_t>> reports;
        std::vector<uint8_t> report(static_cast<size_t>(size));
        while (hid_read_timeout(dev, report.data(), report.size(), 25) == size) {
            reports.push_back(report);
        }
        return reports;
    }
    // The text of one poll's run of reports.
    std::string poll_text() {
        poll();
        std::string text;
        for (const auto& report : read_reports()) {
            text += std::string(parse_input_report(report.data(), size).text);
        }
        return text;
    }
    // Code and payload of the one frame the next poll brings; empty when nothing good came.
    std::vector<uint8_t> poll_reply() {
        const std::string text = poll_text();
        uint8_t bytes[512];
        const FrameDecodeResult frame = decode_frame(text, bytes, sizeof(bytes));
        if (!frame.good || frame.consumed != text.size())
            return {};
        return std::vector<uint8_t>(bytes + 1, bytes + frame.length - 1);
    }
};

class SimDevice : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        hid_init();
    }
};

TEST_F(SimDevice, AnswersOnlyAfterPollOneFramePerPoll) {
    RawHost host;
    ASSERT_NE(host.dev, nullptr);
    host.send(0x0A, {0});
    EXPECT_TRUE(host.read_reports().empty());  // never speaks unasked
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{0x1A, 1}));
    const std::vector<uint8_t> speed = host.poll_reply();
    ASSERT_EQ(speed.size(), 5u);
    EXPECT_EQ(speed[0], 0x0A);
    EXPECT_TRUE(host.poll_reply().empty());
    EXPECT_EQ(sim::poll_reports(), 3);
    EXPECT_EQ(sim::count_commands(0x0A), 1);
}

TEST_F(SimDevice, GreetingThenIdentityAndLongReportLayout) {
    RawHost host;
    host.send(1);
    host.poll();
    const auto reports = host.read_reports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0][0], 0x40);
    EXPECT_EQ(reports[0][1], 12);  // "!0307020161#"
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&reports[0][2]), 12),
              encode_frame(7, std::vector<uint8_t>{2, 1}.data(), 2));

    host.send(1);
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{8, 0xCE, 0x02, 0, 22}));  // 718, 0022
    host.send(4);
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{8, 0xCE, 0x02, 0, 22}));
}

TEST_F(SimDevice, ShortReportsCarrySevenCharactersWithCountInFlags) {
    sim::set_product(sim::Product::programmer_short);
    RawHost host(0xF1F7);
    ASSERT_NE(host.dev, nullptr);
    host.send(0xF4);
    host.poll();
    const auto reports = host.read_reports();  // "!0301010452#" is 12 characters
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0][0], 0x40 | 0x20 | (7 << 1));
    EXPECT_EQ(reports[1][0], 0x40 | (5 << 1));
    host.send(0xF4);
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{1, 1, 4}));
}

TEST_F(SimDevice, ConfigurationMemoryReadWriteAndWindow) {
    RawHost host;
    host.send(5, {1, 13});
    EXPECT_EQ(host.poll_reply(),
              (std::vector<uint8_t>{6, 1, 13, 3, 2, 3, 0, 2, 0, 0, 0, 0, 0, 43, 0, 0}));
    host.send(6, {0x10, 3, 7, 8, 9});
    EXPECT_TRUE(host.poll_reply().empty());  // a write has no reply of its own
    EXPECT_EQ(sim::memory_byte(0x211), 8);
    host.send(5, {0x10, 3});
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{6, 0x10, 3, 7, 8, 9}));
    host.send(6, {0x10, 3, 1});  // count disagrees with the data: ignored
    host.send(5, {0, 142});      // the reply would not fit in one frame
    EXPECT_TRUE(host.poll_reply().empty());
    EXPECT_EQ(sim::memory_byte(0x210), 7);
}

TEST_F(SimDevice, ReadbackDiffersOnlyAfterAWrite) {
    RawHost host;
    sim::set_readback_differs_at(4);  // of offset, count, data: the third data byte
    host.send(5, {1, 3});
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{6, 1, 3, 3, 2, 3}));
    host.send(6, {1, 3, 5, 6, 7});
    host.send(5, {1, 3});
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{6, 1, 3, 5, 6, 7 ^ 0xFF}));
}

TEST_F(SimDevice, CalibrationAnswersAfterDelayAndSetsScale) {
    sim::set_calibration(17, 3);
    RawHost host;
    host.send(7);
    EXPECT_TRUE(host.poll_reply().empty());
    host.send(7);  // repeated while measuring: does not start over
    EXPECT_TRUE(host.poll_reply().empty());
    EXPECT_EQ(host.poll_reply(), (std::vector<uint8_t>{1}));
    EXPECT_EQ(sim::memory_byte(0x208), 17);
}

TEST_F(SimDevice, StatusSequenceRepeatsItsLastCharacter) {
    sim::set_status_sequence("221");
    RawHost host;
    std::string seen;
    for (int i = 0; i < 5; ++i) {
        host.send(2);
        const auto reply = host.poll_reply();
        ASSERT_EQ(reply.size(), 2u);
        seen.push_back(static_cast<char>(reply[1]));
    }
    EXPECT_EQ(seen, "22111");
}

TEST_F(SimDevice, ReplyFaultsSpoilOnlyTheNextFrame) {
    RawHost host;
    for (auto fault : {sim::ReplyFault::lower_case, sim::ReplyFault::bad_checksum,
                       sim::ReplyFault::wrong_length}) {
        sim::set_next_reply_fault(fault);
        host.send(4);
        host.send(4);
        const std::string spoiled = host.poll_text();
        uint8_t bytes[16];
        EXPECT_EQ(spoiled.size(), 16u);
        EXPECT_FALSE(decode_frame(spoiled, bytes, sizeof(bytes)).good) << spoiled;
        EXPECT_EQ(host.poll_reply().size(), 5u) << static_cast<int>(fault);
    }
}

TEST_F(SimDevice, TwoFramesInOneRunAndChunkLimit) {
    sim::set_two_frames_in_one_run(true);
    sim::set_chunk_limit(5);
    sim::set_speed(true, 12.5f);
    RawHost host;
    host.send(0x0A, {0});
    host.poll();
    const auto reports = host.read_reports();
    std::string text;
    for (size_t i = 0; i < reports.size(); ++i) {
        const InputChunk chunk = parse_input_report(reports[i].data(), host.size);
        EXPECT_LE(chunk.text.size(), 5u);
        EXPECT_EQ(chunk.more, i + 1 < reports.size());
        text += std::string(chunk.text);
    }
    float speed = 12.5f;
    uint8_t bytes[4];
    std::memcpy(bytes, &speed, 4);
    const uint8_t available = 1;
    EXPECT_EQ(text, encode_frame(0x1A, &available, 1) + encode_frame(0x0A, bytes, 4));
}

TEST_F(SimDevice, ErrorDumpEndsItsPollAndLogLinesComeBeforeTheReply) {
    RawHost host;
    host.send(4);
    sim::queue_error_dump({"E1", std::string(70, 'x')});
    sim::queue_log_line("hello");
    host.poll();
    const auto dump = host.read_reports();
    ASSERT_EQ(dump.size(), 4u);  // 0xAA, "E1", 64 x, 6 x
    EXPECT_TRUE(is_error_dump_report(dump[0].data(), host.size));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(dump[1].data())), "E1");
    EXPECT_EQ(dump[3][5], 'x');
    EXPECT_EQ(dump[3][6], 0);

    host.poll();
    const auto runs = host.read_reports();
    ASSERT_EQ(runs.size(), 2u);
    const InputChunk log = parse_input_report(runs[0].data(), host.size);
    const InputChunk reply = parse_input_report(runs[1].data(), host.size);
    EXPECT_FALSE(log.more);  // each frame is its own run
    EXPECT_EQ(log.text, encode_frame(0xFF, reinterpret_cast<const uint8_t*>("hello"), 5));
    EXPECT_EQ(reply.text.substr(3, 2), "08");
    EXPECT_TRUE(host.poll_text().empty());
}

TEST_F(SimDevice, HandlesDieWithUnplugAndReset) {
    RawHost first;
    RawHost second;
    EXPECT_EQ(sim::open_handles(), 2);
    EXPECT_EQ(hid_open(0x12AA, 0xF1F7, nullptr), nullptr);  // not this product id
    sim::unplug_after_commands(2);
    first.send(4);
    first.send(4);
    EXPECT_FALSE(sim::plugged());
    EXPECT_EQ(first.poll(), -1);
    EXPECT_EQ(hid_open(0x12AA, 0xF1C9, nullptr), nullptr);
    sim::plug(true);
    EXPECT_EQ(second.poll(), -1);  // the device came back, the old handle did not
    hid_close(first.dev);
    first.dev = nullptr;
    EXPECT_EQ(sim::open_handles(), 1);

    sim::reset();  // second still holds its handle: dead, and no longer counted
    EXPECT_EQ(sim::open_handles(), 0);
    RawHost third;
    EXPECT_NE(third.dev, second.dev);
    EXPECT_EQ(third.poll(), 65);
    EXPECT_EQ(second.poll(), -1);
}

TEST_F(SimDevice, ShortWriteAfterGoodWritesIsNotTakenIn) {
    RawHost host;
    sim::fail_writes_after(1);
    EXPECT_EQ(host.poll(), 65);
    EXPECT_EQ(host.poll(), 64);
    EXPECT_EQ(sim::poll_reports(), 1);
    EXPECT_EQ(sim::written_reports().size(), 1u);
    sim::clear_write_fault();
    EXPECT_EQ(host.poll(), 65);
}

}  // namespace
