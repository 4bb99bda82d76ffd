#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/frame_codec.h"

namespace {

std::string text_of(const std::vector<uint8_t>& report, size_t from, size_t count) {
    return std::string(report.begin() + static_cast<long>(from),
                       report.begin() + static_cast<long>(from + count));
}

std::string frame_of_length(size_t payload_bytes) {
    std::vector<uint8_t> bytes(payload_bytes);
    for (size_t i = 0; i < payload_bytes; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return encode_frame(0x42, bytes.data(), payload_bytes);
}

TEST(FrameEncoding, KnownFramesAndThePayloadLimit) {
    EXPECT_EQ(encode_frame(1, nullptr, 0), "!0101AC#");
    EXPECT_EQ(encode_frame(0xF4, nullptr, 0), "!01F49F#");
    const uint8_t read_request[] = {0x00, 0x10};
    EXPECT_EQ(encode_frame(5, read_request, 2), "!030500106C#");
    EXPECT_EQ(frame_of_length(kMaxCommandPayload).size(), 2u * 143 + 8);
    EXPECT_EQ(frame_of_length(kMaxCommandPayload + 1), "");
}

TEST(FrameDecoding, RoundTripsEveryPayloadLength) {
    for (size_t n = 0; n <= kMaxCommandPayload; ++n) {
        const std::string text = frame_of_length(n);
        uint8_t out[1024];
        const FrameDecodeResult result = decode_frame(text, out, sizeof out);
        ASSERT_TRUE(result.good) << n;
        ASSERT_EQ(result.length, static_cast<int>(n + 3));
        EXPECT_EQ(result.consumed, text.size());
        EXPECT_EQ(out[0], n + 1);
        EXPECT_EQ(out[1], 0x42);
        EXPECT_EQ(encode_frame(0x42, out + 2, n), text);
    }
}

TEST(FrameDecoding, RejectsMalformedFramesStopsAtTheFirstHashAndKeepsToCapacity) {
    uint8_t out[1024];
    for (const char* bad :
         {"!0101ac#", "!0101AD#", "!020101AD#", "!0101AC0#", "!01G1AC#", "!#", "!AC#", "!0055#"}) {
        EXPECT_FALSE(decode_frame(bad, out, sizeof out).good) << bad;
    }
    const FrameDecodeResult first = decode_frame("!0101AC#!01F49F#", out, sizeof out);
    ASSERT_TRUE(first.good);
    EXPECT_EQ(first.consumed, 8u);

    std::fill(out, out + 20, 0x5A);
    EXPECT_FALSE(decode_frame("!" + std::string(1200, 'A') + "#", out, 16).good);
    EXPECT_EQ(out[16], 0x5A);
    EXPECT_EQ(out[19], 0x5A);
}

TEST(ReportChunking, KnownReportsInBothModes) {
    const auto long_one = frame_to_reports("!0101AC#", kLongReportSize);
    ASSERT_EQ(long_one.size(), 1u);
    ASSERT_EQ(long_one[0].size(), 65u);
    EXPECT_EQ(text_of(long_one[0], 0, 11), std::string("\x00\xC1\x08!0101AC#", 11));
    const auto short_two = frame_to_reports("!0101AC#", kShortReportSize);
    ASSERT_EQ(short_two.size(), 2u);
    EXPECT_EQ(short_two[0].size(), 9u);
    EXPECT_EQ(text_of(short_two[0], 0, 9), std::string("\x00\x0F!0101AC", 9));
    EXPECT_EQ(text_of(short_two[1], 1, 2), "\xC2#");
}

// Long reports carry 62 characters (count in byte 2), short ones 7 (count in flag bits 1-3);
// the first report has flag bit 0, the last bits 6 and 7, and no other flag is set.
TEST(ReportChunking, EveryFrameIsSplitIntoFullReportsThatJoinAgain) {
    for (const int size : {kLongReportSize, kShortReportSize}) {
        const bool is_long = size == kLongReportSize;
        const size_t per_report = is_long ? 62 : 7;
        for (size_t n = 0; n <= kMaxCommandPayload; ++n) {
            const std::string frame = frame_of_length(n);
            const auto reports = frame_to_reports(frame, size);
            ASSERT_EQ(reports.size(), (frame.size() + per_report - 1) / per_report) << n;
            std::string joined;
            for (size_t i = 0; i < reports.size(); ++i) {
                const uint8_t flags = reports[i][1];
                const int marks = (i == 0 ? 0x01 : 0) | (i + 1 == reports.size() ? 0xC0 : 0);
                EXPECT_EQ(is_long ? flags : flags & 0xF1, marks) << n << " " << i;
                joined += is_long ? text_of(reports[i], 3, reports[i][2])
                                  : text_of(reports[i], 2, (flags >> 1) & 0x07);
            }
            EXPECT_EQ(joined, frame);
        }
    }
}

TEST(InputReports, TextCountIsCutToCapacityAndErrorDumpNeedsEveryByte) {
    uint8_t long_report[64] = {0x40, 200, '!', '0'};
    const InputChunk long_chunk = parse_input_report(long_report, kLongReportSize);
    EXPECT_TRUE(long_chunk.has_text);
    EXPECT_FALSE(long_chunk.more);
    EXPECT_EQ(long_chunk.text.size(), 62u);

    uint8_t short_report[8] = {static_cast<uint8_t>(0x60 | (15 << 1)), 'a', 'b'};
    const InputChunk short_chunk = parse_input_report(short_report, kShortReportSize);
    EXPECT_TRUE(short_chunk.more);
    EXPECT_EQ(short_chunk.text.size(), 7u);
    const uint8_t no_text[8] = {0x20, 1, 2};
    EXPECT_FALSE(parse_input_report(no_text, kShortReportSize).has_text);

    uint8_t dump[8];
    std::fill(dump, dump + 8, 0xAA);
    EXPECT_TRUE(is_error_dump_report(dump, 8));
    dump[7] = 0;
    EXPECT_FALSE(is_error_dump_report(dump, 8));
}

}  // namespace
