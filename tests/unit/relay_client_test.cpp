// The technician's half of the relay: the commands as the program parses them, the program's
// answers read back however the stream is cut, and the link over a program that misbehaves.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>

#include "device/device_link.h"
#include "device/frame_codec.h"
#include "remote/relay_client.h"
#include "remote/relay_client_codec.h"
#include "support/loopback_relay_peer.h"

namespace {

using relay_client::Answer;
using relay_client::Decoded;
using relay_client::Expect;

const uint8_t kBlock[] = {0x01, 0x02, 0x03};

TEST(RelayClientCodec, CommandsCarryTheirArgumentsAndRefuseWhatACountCannotHold) {
    const uint8_t report[] = {0x00, 0x02};
    struct Case {
        const char* what;
        std::string bytes;
        std::string expected;
    };
    const std::string long_data(256, 'x');
    const Case cases[] = {
        {"open", relay_client::open_device(), "@H"},
        {"frame", relay_client::frame(0x01, nullptr, 0), bytes({'@', 'h', 1, 0})},
        {"frame after log lines", relay_client::frame(0x05, kBlock, 2, true),
         bytes({'@', 'i', 5, 2, 1, 2})},
        {"frame too long",
         relay_client::frame(0x05, reinterpret_cast<const uint8_t*>(long_data.data()), 256), ""},
        {"fetch ends with the flag", relay_client::fetch_replies(), "@R@G"},
        {"upload reset", relay_client::upload_reset(), "@E0"},
        {"upload block, length high first", relay_client::upload_block(kBlock, 3),
         "@E1" + bytes({0, 3, 1, 2, 3})},
        {"raw write", relay_client::raw_write(report, 2), "@E3" + bytes({2, 0, 2})},
        {"raw write of nothing", relay_client::raw_write(report, 0), ""},
        {"raw read", relay_client::raw_read(64), "@E4" + bytes({64})},
        {"program, address low first", relay_client::program(0x1D006000),
         "@E5" + bytes({0x00, 0x60, 0x00, 0x1D})},
        {"release", relay_client::release(), "@!"},
        {"technician record", relay_client::technician_record("@H"), bytes({0, 2}) + "@H"},
        {"empty record", relay_client::technician_record(""), ""},
        {"record too long", relay_client::technician_record(std::string(8193, 'x')), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.bytes, c.expected) << c.what;
    EXPECT_EQ(relay_client::technician_record(std::string(8192, 'x')).size(), 8194u);
    EXPECT_EQ(relay_client::upload_block(kBlock, relay_client::kMaxUploadBlock + 1), "");
    EXPECT_EQ(relay_client::block_sum(kBlock, 3), 6);
    const std::string ones(65535, '\xFF');
    // The sum is taken modulo 65535, not 65536.
    EXPECT_EQ(relay_client::block_sum(reinterpret_cast<const uint8_t*>(ones.data()), 258),
              258 * 255 % 65535);
}

TEST(RelayClientCodec, AnswersAreReadWhereverTheStreamIsCut) {
    // The device reply !0101AC# as a record, twice, then the flag that ends the fetch.
    const std::string record = "@R" + bytes({0x02, 0x01, 0xAC});
    struct Case {
        const char* what;
        Expect expect;
        std::string stream;
        Answer::Kind kind;
        int value;  // status byte, sum, per mille, read count or record count
    };
    const Case cases[] = {
        {"bootloader attached", Expect::status, "@2", Answer::Kind::status, '2'},
        {"nothing attached", Expect::status, "@!", Answer::Kind::status, '!'},
        {"two records in one send", Expect::replies, record + record + "@G" + bytes({0}),
         Answer::Kind::replies, 2},
        {"no replies waiting", Expect::replies, "@R" + bytes({0}) + "@G" + bytes({1}),
         Answer::Kind::replies, 0},
        {"upload reset", Expect::upload_reset, "@E0", Answer::Kind::upload_reset, 0},
        {"block sum", Expect::block_sum, "@E1" + bytes({0x00, 0x06}), Answer::Kind::block_sum, 6},
        {"raw write", Expect::raw_write, "@E3" + bytes({65}), Answer::Kind::raw_written, 65},
        {"raw read", Expect::raw_read, "@E4" + bytes({2, '@', 'G'}), Answer::Kind::raw_read, 2},
        {"first progress", Expect::progress, "@E5" + bytes({0, 0}), Answer::Kind::progress, 0},
        {"last progress", Expect::progress, "@E5" + bytes({0x03, 0xE8}), Answer::Kind::progress,
         1000},
        {"farewell instead of a sum", Expect::block_sum, "@!", Answer::Kind::released, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (size_t cut = 0; cut < c.stream.size(); ++cut) {
            const Decoded part = relay_client::decode(c.expect, c.stream.substr(0, cut));
            EXPECT_EQ(part.state, Decoded::State::incomplete) << "cut at " << cut;
        }
        const Decoded whole = relay_client::decode(c.expect, c.stream + "@E0");
        ASSERT_EQ(whole.state, Decoded::State::complete);
        EXPECT_EQ(whole.consumed, c.stream.size());
        EXPECT_EQ(whole.answer.kind, c.kind);
        const Answer& a = whole.answer;
        const int value = c.kind == Answer::Kind::status        ? a.status
                          : c.kind == Answer::Kind::replies     ? static_cast<int>(a.records.size())
                          : c.kind == Answer::Kind::raw_read    ? a.result
                          : c.kind == Answer::Kind::raw_written ? a.result
                                                                : a.value;
        EXPECT_EQ(value, c.value);
    }

    // A bootloader program answers a fetch with "@!": no programmer link, not a record.
    const Decoded no_link = relay_client::decode(Expect::replies, "@!@G" + bytes({0}));
    ASSERT_EQ(no_link.state, Decoded::State::complete);
    EXPECT_TRUE(no_link.answer.no_link);
    // A failed raw read sends "@E4" alone: complete only once the stream has gone quiet.
    EXPECT_EQ(relay_client::decode(Expect::raw_read, "@E4").state, Decoded::State::incomplete);
    const Decoded failed = relay_client::decode(Expect::raw_read, "@E4", true);
    ASSERT_EQ(failed.state, Decoded::State::complete);
    EXPECT_EQ(failed.answer.result, -1);

    // A record becomes the device's reply, its checksum checked.
    DeviceReply reply;
    ASSERT_TRUE(relay_client::record_to_reply(bytes({0x01, 0xAC}), reply));
    EXPECT_EQ(reply.reply_length, 3);
    EXPECT_EQ(reply.code(), 1);
    EXPECT_FALSE(relay_client::record_to_reply(bytes({0x01, 0xAD}), reply));
    EXPECT_FALSE(relay_client::record_to_reply(bytes({0x01}), reply));
}

TEST(RelayClientCodec, GarbageIsToldAtItsFirstByte) {
    struct Case {
        Expect expect;
        std::string stream;
    };
    const Case cases[] = {
        {Expect::status, "x"},      {Expect::status, "@9"},
        {Expect::replies, "R"},     {Expect::replies, "@R" + bytes({0}) + "@G" + bytes({2})},
        {Expect::block_sum, "@E0"}, {Expect::raw_read, "@E3"},
        {Expect::progress, " @E5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(relay_client::decode(c.expect, c.stream).state, Decoded::State::garbage)
            << c.stream;
    }
}

// A program that answers each command from a script, short answers a byte per receive so that
// they arrive cut; "" answers nothing, and the last answer closes the connection behind it.
class ScriptedChannel : public RelayChannel {
   public:
    explicit ScriptedChannel(std::deque<std::string> answers) : answers_(std::move(answers)) {}
    std::vector<std::string> sent;

    bool send(const std::string& commands) override {
        sent.push_back(commands);
        if (answers_.empty()) {
            closed_ = true;
            return true;
        }
        coming_ += answers_.front();
        answers_.pop_front();
        closed_ = answers_.empty();
        return true;
    }
    ChannelRead receive(std::string& into, int) override {
        if (!coming_.empty()) {
            const size_t part = coming_.size() < 100 ? 1 : 4096;
            into += coming_.substr(0, part);
            coming_.erase(0, part);
            return ChannelRead::data;
        }
        return closed_ ? ChannelRead::closed : ChannelRead::timed_out;
    }

   private:
    std::deque<std::string> answers_;
    std::string coming_;
    bool closed_ = false;
};

struct ScriptedLink {
    ScriptedChannel* channel;
    RelayClient* relay;
    DeviceLink link;

    explicit ScriptedLink(std::deque<std::string> answers) {
        auto owned = std::make_unique<ScriptedChannel>(std::move(answers));
        channel = owned.get();
        auto client = std::make_unique<RelayClient>(std::move(owned), RelayTimeouts{200, 20});
        relay = client.get();
        link.set_transport(std::move(client));
    }
};

TEST(RelayClient, TheLinkPollsFetchedRecordsInOrderAndPassesOverDamagedOnes) {
    const std::string good = "@R" + bytes({0x02, 0x01, 0xAC});
    const std::string damaged = "@R" + bytes({0x02, 0x01, 0xAD});
    const uint8_t frame[] = {0x02, 0x04, 0x07};
    const std::string identity = "@R" + bytes({0x03, 0x04, 0x07, frame_checksum(frame, 3)});
    ScriptedLink s({"@1", good + damaged + identity + "@G" + bytes({0}),
                    "@R" + bytes({0}) + "@G" + bytes({0}), "@2", "@!@G" + bytes({0})});
    ASSERT_EQ(s.link.open(), OpenResult::link);
    EXPECT_EQ(s.link.kind(), DeviceKind::programmer_link);
    EXPECT_TRUE(s.link.send_frame(0x01));
    ASSERT_TRUE(s.link.poll());
    EXPECT_EQ(s.link.reply().code(), 1);
    ASSERT_TRUE(s.link.poll());
    EXPECT_EQ(s.link.reply().code(), 4);
    EXPECT_EQ(s.link.reply().payload()[0], 7);
    EXPECT_FALSE(s.link.poll());
    EXPECT_TRUE(s.link.is_open());
    EXPECT_EQ(s.channel->sent,
              (std::vector<std::string>{"@H", bytes({'@', 'h', 1, 0}), "@R@G", "@R@G"}));
    // A program whose device is in its bootloader has no programmer link to fetch from.
    ASSERT_EQ(s.link.open(), OpenResult::bootloader);
    EXPECT_FALSE(s.link.poll());
    EXPECT_FALSE(s.link.is_open());
    EXPECT_EQ(s.relay->problem(), RelayProblem::none);
}

TEST(RelayClient, ADeviceThatOnlyLogsEndsEachPollAfterABoundedNumberOfLines) {
    const uint8_t frame[] = {0x02, 0xFF, 'x'};
    std::string lines;
    for (int i = 0; i < 70; ++i)
        lines += "@R" + bytes({3, 0xFF, 'x', frame_checksum(frame, 3)});
    ScriptedLink s({"@1", lines + "@G" + bytes({0}), ""});
    int texts = 0;
    s.link.set_listeners({[&texts](std::string_view) { ++texts; }, {}});
    ASSERT_EQ(s.link.open(), OpenResult::link);
    EXPECT_FALSE(s.link.poll());
    EXPECT_EQ(texts, DeviceLink::kMaxPollsUntilSilent);
    EXPECT_TRUE(s.link.is_open());
    // The rest waits for the next poll, which may return them.
    s.link.set_return_log_lines(true);
    EXPECT_TRUE(s.link.poll());
    EXPECT_EQ(s.link.reply().code(), 0xFF);
}

TEST(RelayClient, AProgramThatMisbehavesEndsTheSessionInBoundedTime) {
    struct Case {
        const char* what;
        std::deque<std::string> answers;
        RelayProblem problem;
    };
    std::string many_records;
    while (many_records.size() < 70000)
        many_records += "@R" + bytes({255}) + std::string(255, 'r');
    const Case cases[] = {
        {"silence", {"@1", "", ""}, RelayProblem::timed_out},
        {"gone in the middle of an answer", {"@1", "@R" + bytes({0x02, 0x01})}, RelayProblem::gone},
        {"bytes that answer nothing", {"@1", "hello"}, RelayProblem::garbage},
        {"records without end", {"@1", many_records, ""}, RelayProblem::garbage},
        {"an answer too many",
         {"@1", "@R" + bytes({0}) + "@G" + bytes({0}) + "@E0"},
         RelayProblem::garbage},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedLink s(c.answers);
        ASSERT_EQ(s.link.open(), OpenResult::link);
        for (int polls = 0; polls < 3 && s.link.is_open(); ++polls)
            s.link.poll();
        EXPECT_FALSE(s.link.is_open());
        EXPECT_EQ(s.relay->problem(), c.problem);
        EXPECT_FALSE(s.link.send_frame(0x01));
        EXPECT_EQ(s.link.open(), OpenResult::nothing);
    }
}

TEST(RelayClient, UploadChecksEveryBlockAndProgrammingStopsAtAStrangeRecord) {
    std::vector<uint8_t> image(10000);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<uint8_t>(i * 7);
    const uint16_t first = relay_client::block_sum(image.data(), relay_client::kMaxUploadBlock);
    const uint16_t rest = relay_client::block_sum(image.data() + relay_client::kMaxUploadBlock,
                                                  image.size() - relay_client::kMaxUploadBlock);
    auto sum = [](uint16_t value) { return "@E1" + bytes({value >> 8, value & 0xFF}); };

    RelayClient good(
        std::make_unique<ScriptedChannel>(std::deque<std::string>{
            "@E0", sum(first), sum(rest),
            "@E5" + bytes({0, 0}) + "@E5" + bytes({1, 0xF4}) + "@E5" + bytes({3, 0xE8})}),
        RelayTimeouts{200, 20});
    ASSERT_TRUE(good.upload(image.data(), image.size()));
    std::vector<int> progress;
    EXPECT_TRUE(good.program(0x1D006000, [&](int permille) { progress.push_back(permille); }));
    EXPECT_EQ(progress, (std::vector<int>{0, 500, 1000}));

    RelayClient damaged(std::make_unique<ScriptedChannel>(
                            std::deque<std::string>{"@E0", sum(first + 1), sum(rest)}),
                        RelayTimeouts{200, 20});
    EXPECT_FALSE(damaged.upload(image.data(), image.size()));
    EXPECT_EQ(damaged.problem(), RelayProblem::damaged_upload);

    RelayClient backwards(std::make_unique<ScriptedChannel>(std::deque<std::string>{
                              "@E5" + bytes({1, 0}) + "@E5" + bytes({0, 0})}),
                          RelayTimeouts{200, 20});
    EXPECT_FALSE(backwards.program(0x1D006000, [](int) {}));
    EXPECT_EQ(backwards.problem(), RelayProblem::garbage);

    // A failed raw read answers "@E4" alone; the stream stays in step for the next command.
    uint8_t reply[64];
    RelayClient reads(std::make_unique<ScriptedChannel>(std::deque<std::string>{
                          "@E4", "@E4" + bytes({2, 9, 8}), "@E3" + bytes({65})}),
                      RelayTimeouts{200, 20});
    EXPECT_EQ(reads.raw_read(reply, sizeof reply), -1);
    EXPECT_EQ(reads.raw_read(reply, sizeof reply), 2);
    EXPECT_EQ(reply[1], 8);
    const uint8_t report[65] = {};
    EXPECT_TRUE(reads.raw_write(report, sizeof report));
    EXPECT_EQ(reads.problem(), RelayProblem::none);
}

}  // namespace
