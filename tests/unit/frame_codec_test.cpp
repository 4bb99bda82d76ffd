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

TEST(FrameDecoding, RejectsMalformedFramesAndStopsAtTheFirstHash) {
    uint8_t out[1024];
    for (const char* bad :
         {"!0101ac#", "!0101AD#", "!020101AD#", "!0101AC0#", "!01G1AC#", "!#", "!AC#"}) {
        EXPECT_FALSE(decode_frame(bad, out, sizeof out).good) << bad;
    }
    const FrameDecodeResult first = decode_frame("!0101AC#!01F49F#", out, sizeof out);
    ASSERT_TRUE(first.good);
    EXPECT_EQ(first.consumed, 8u);
}

TEST(FrameDecoding, NeverWritesBeyondCapacity) {
    const std::string text = "!" + std::string(1200, 'A') + "#";
    uint8_t out[20];
    std::fill(out, out + 20, 0x5A);
    EXPECT_FALSE(decode_frame(text, out, 16).good);
    EXPECT_EQ(out[16], 0x5A);
    EXPECT_EQ(out[19], 0x5A);
}

TEST(ReportChunking, LongModeCarriesSixtyTwoCharactersPerReport) {
    const auto shortest = frame_to_reports("!0101AC#", kLongReportSize);
    ASSERT_EQ(shortest.size(), 1u);
    ASSERT_EQ(shortest[0].size(), 65u);
    EXPECT_EQ(text_of(shortest[0], 0, 11), std::string("\x00\xC1\x08!0101AC#", 11));

    const std::string frame62 = frame_of_length(27);
    ASSERT_EQ(frame62.size(), 62u);
    const auto one = frame_to_reports(frame62, kLongReportSize);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][1], 0xC1);
    EXPECT_EQ(one[0][2], 62);

    const std::string frame64 = frame_of_length(28);
    const auto two = frame_to_reports(frame64, kLongReportSize);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0][1], 0x01);
    EXPECT_EQ(two[0][2], 62);
    EXPECT_EQ(two[1][1], 0xC0);
    EXPECT_EQ(two[1][2], 2);
    EXPECT_EQ(text_of(two[0], 3, 62) + text_of(two[1], 3, 2), frame64);
}

TEST(ReportChunking, ShortModeCarriesSevenCharactersPerReport) {
    const auto shortest = frame_to_reports("!0101AC#", kShortReportSize);
    ASSERT_EQ(shortest.size(), 2u);
    EXPECT_EQ(shortest[0].size(), 9u);
    EXPECT_EQ(text_of(shortest[0], 0, 9), std::string("\x00\x0F!0101AC", 9));
    EXPECT_EQ(text_of(shortest[1], 1, 2), "\xC2#");

    for (size_t n = 0; n <= kMaxCommandPayload; n += 13) {
        const std::string frame = frame_of_length(n);
        const auto reports = frame_to_reports(frame, kShortReportSize);
        std::string joined;
        for (size_t i = 0; i < reports.size(); ++i) {
            const uint8_t flags = reports[i][1];
            EXPECT_EQ((flags & 1) != 0, i == 0);
            EXPECT_EQ((flags & 0xC0) == 0xC0, i + 1 == reports.size());
            joined += text_of(reports[i], 2, (flags >> 1) & 0x07);
        }
        EXPECT_EQ(joined, frame);
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
