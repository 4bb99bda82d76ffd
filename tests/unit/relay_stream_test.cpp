// The server's command stream, cut anywhere: the parse must not depend on where TCP splits it.
#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "remote/relay_stream.h"
#include "support/loopback_relay_peer.h"

namespace {

// Every event as text; consecutive block bytes are joined so that a split block reads the same.
class Transcript : public RelayEventSink {
   public:
    std::string text;
    uint8_t stop_at = 0;  // a command byte that stops the receive, as a status report does

    bool on_relay_event(const RelayEvent& e) override {
        switch (e.kind) {
            case RelayEvent::Kind::serial_byte:
                text += {'s', static_cast<char>(e.byte), ' '};
                return true;
            case RelayEvent::Kind::command:
                text += "c" + std::string(1, static_cast<char>(e.command)) +
                        (e.sub ? std::string(1, static_cast<char>(e.sub)) : "") + "(" +
                        std::string(reinterpret_cast<const char*>(e.data), e.size) + ") ";
                return e.command != stop_at;
            case RelayEvent::Kind::block_start:
                text += "b" + std::to_string(e.size) + "[";
                return true;
            case RelayEvent::Kind::block_data:
                text += std::string(reinterpret_cast<const char*>(e.data), e.size);
                return true;
            case RelayEvent::Kind::block_end:
                text += "] ";
                return true;
        }
        return false;
    }
};

std::string parse_in_pieces(const std::string& stream, std::vector<size_t> cuts) {
    RelayStreamParser parser;
    Transcript transcript;
    size_t from = 0;
    cuts.push_back(stream.size());
    for (const size_t cut : cuts) {
        parser.feed(reinterpret_cast<const uint8_t*>(stream.data()) + from, cut - from, transcript);
        from = cut;
    }
    return transcript.text;
}

TEST(RelayStream, EveryCommandParsesTheSameWhereverTheStreamIsCut) {
    const std::string stream = "ab@@@R@h" + bytes({0x05, 0x02, '@', 'x'}) + "@i" +
                               bytes({0x01, 0x00}) + "@F" + bytes({0x01, '@'}) + "@E0@E1" +
                               bytes({0x00, 0x04}) + "@@@@@E2@E3" + bytes({0x02, 0x00, 0x10}) +
                               "@E4" + bytes({0x40}) + "@E5" + bytes({1, 2, 3, 4}) + "@E7@f@G@y@";
    const std::string whole = parse_in_pieces(stream, {});
    EXPECT_EQ(whole, "sa sb s@ cR() ch(" + bytes({0x05, 0x02, '@', 'x'}) + ") ci(" +
                         bytes({0x01, 0x00}) + ") cF(" + bytes({0x01, '@'}) +
                         ") cE0() b4[@@@@] cE2() cE3(" + bytes({0x02, 0x00, 0x10}) +
                         ") cE4(@) cE5(" + bytes({1, 2, 3, 4}) + ") cE7() cf() cG() sy ");
    for (size_t i = 1; i < stream.size(); ++i) {
        for (size_t j = i; j < stream.size(); ++j)
            ASSERT_EQ(parse_in_pieces(stream, {i, j}), whole) << "cut at " << i << ", " << j;
    }
    std::vector<size_t> every_byte(stream.size() - 1);
    std::iota(every_byte.begin(), every_byte.end(), 1);
    EXPECT_EQ(parse_in_pieces(stream, every_byte), whole);
}

// A status report stops the receive; what follows in it is dropped, a trailing "@" included.
TEST(RelayStream, AStopDropsTheRestOfTheReceiveWithNothingPending) {
    RelayStreamParser parser;
    Transcript transcript;
    transcript.stop_at = '!';
    const std::string piece = "x@h" + bytes({1, 0}) + "@!@G@";
    EXPECT_FALSE(
        parser.feed(reinterpret_cast<const uint8_t*>(piece.data()), piece.size(), transcript));
    EXPECT_TRUE(parser.between_commands());
    EXPECT_EQ(transcript.text, "sx ch(" + bytes({1, 0}) + ") c!() ");
}

}  // namespace
