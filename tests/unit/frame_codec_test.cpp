#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/frame_codec.h"

namespace {

std::string report_text(const std::vector<uint8_t>& report, size_t from, size_t count) {
    return std::string(report.begin() + static_cast<long>(from),
                       report.begin() + static_cast<long>(from + count));
}

std::vector<uint8_t> bytes_of(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(i * 7 + 1);
    return bytes;
}

}  // namespace

TEST(FrameEncoding, MatchesTheKnownFrames) {
    EXPECT_EQ(encode_frame(1, nullptr, 0), "!0101AC#");
    EXPECT_EQ(encode_frame(0xF4, nullptr, 0), "!01F49F#");
    const uint8_t read_request[] = {0x00, 0x10};
    EXPECT_EQ(encode_frame(5, read_request, 2), "!030500106C#");
}

TEST(FrameEncoding, LengthIsTwoCharactersPerByteAndRefusesOversizedPayloads) {
    const auto largest = bytes_of(kMaxCommandPayload);
    EXPECT_EQ(encode_frame(0x66, largest.data(), largest.size()).size(), 2u * 143 + 8);
    const auto too_large = bytes_of(kMaxCommandPayload + 1);
    EXPECT_EQ(encode_frame(0x66, too_large.data(), too_large.size()), "");
}

TEST(FrameDecoding, RoundTripsEveryPayloadLength) {
    for (size_t n = 0; n <= kMaxCommandPayload; ++n) {
        const auto payload = bytes_of(n);
        const std::string text = encode_frame(0x42, payload.data(), n);
        uint8_t out[1024];
        const FrameDecodeResult result = decode_frame(text, out, sizeof out);
        ASSERT_TRUE(result.good) << n;
        ASSERT_EQ(result.length, static_cast<int>(n + 3));
        EXPECT_EQ(result.consumed, text.size());
        EXPECT_EQ(out[0], n + 1);
        EXPECT_EQ(out[1], 0x42);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), out + 2));
    }
}

TEST(FrameDecoding, RejectsMalformedFrames) {
    uint8_t out[1024];
    EXPECT_TRUE(decode_frame("!0101AC#", out, sizeof out).good);
    EXPECT_FALSE(decode_frame("!0101ac#", out, sizeof out).good) << "lower-case digits";
    EXPECT_FALSE(decode_frame("!0101AD#", out, sizeof out).good) << "wrong checksum";
    EXPECT_FALSE(decode_frame("!020101AD#", out, sizeof out).good) << "L disagrees";
    EXPECT_FALSE(decode_frame("!0101AC0#", out, sizeof out).good) << "lone digit";
    EXPECT_FALSE(decode_frame("!01G1AC#", out, sizeof out).good) << "not a digit";
    EXPECT_FALSE(decode_frame("!#", out, sizeof out).good) << "empty";
    EXPECT_FALSE(decode_frame("!AC#", out, sizeof out).good) << "single byte";
}

TEST(FrameDecoding, StopsAtTheFirstHashAndReportsWhatFollows) {
    uint8_t out[1024];
    const std::string two = "!0101AC#!01F49F#";
    const FrameDecodeResult first = decode_frame(two, out, sizeof out);
    ASSERT_TRUE(first.good);
    EXPECT_EQ(first.consumed, 8u);
    EXPECT_EQ(two.substr(first.consumed), "!01F49F#");
}

TEST(FrameDecoding, NeverWritesBeyondCapacity) {
    std::string text = "!";
    for (int i = 0; i < 600; ++i)
        text += "AB";
    text += "#";
    uint8_t out[16 + 4];
    out[16] = out[17] = out[18] = out[19] = 0x5A;
    EXPECT_FALSE(decode_frame(text, out, 16).good);
    EXPECT_EQ(out[16], 0x5A);
    EXPECT_EQ(out[19], 0x5A);
}

TEST(ReportChunking, ShortestFrameInBothModes) {
    const std::string frame = "!0101AC#";
    const auto long_reports = frame_to_reports(frame, kLongReportSize);
    ASSERT_EQ(long_reports.size(), 1u);
    EXPECT_EQ(long_reports[0].size(), 65u);
    EXPECT_EQ(long_reports[0][0], 0x00);
    EXPECT_EQ(long_reports[0][1], 0xC1);
    EXPECT_EQ(long_reports[0][2], 8);
    EXPECT_EQ(report_text(long_reports[0], 3, 8), frame);

    const auto short_reports = frame_to_reports(frame, kShortReportSize);
    ASSERT_EQ(short_reports.size(), 2u);
    EXPECT_EQ(short_reports[0].size(), 9u);
    EXPECT_EQ(short_reports[0][1], 0x0F);
    EXPECT_EQ(report_text(short_reports[0], 2, 7), "!0101AC");
    EXPECT_EQ(short_reports[1][1], 0xC2);
    EXPECT_EQ(short_reports[1][2], '#');
}

TEST(ReportChunking, LongModeSplitsAfterSixtyTwoCharacters) {
    const auto payload27 = bytes_of(27);
    const std::string frame62 = encode_frame(3, payload27.data(), 27);
    ASSERT_EQ(frame62.size(), 62u);
    const auto one = frame_to_reports(frame62, kLongReportSize);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0][1], 0xC1);
    EXPECT_EQ(one[0][2], 62);

    const auto payload28 = bytes_of(28);
    const std::string frame64 = encode_frame(3, payload28.data(), 28);
    ASSERT_EQ(frame64.size(), 64u);
    const auto two = frame_to_reports(frame64, kLongReportSize);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0][1], 0x01);
    EXPECT_EQ(two[0][2], 62);
    EXPECT_EQ(two[1][1], 0xC0);
    EXPECT_EQ(two[1][2], 2);
    EXPECT_EQ(report_text(two[0], 3, 62) + report_text(two[1], 3, 2), frame64);
}

TEST(ReportChunking, ShortModeReassemblesEveryLength) {
    for (size_t n = 0; n <= kMaxCommandPayload; n += 13) {
        const auto payload = bytes_of(n);
        const std::string frame = encode_frame(9, payload.data(), n);
        std::string joined;
        const auto reports = frame_to_reports(frame, kShortReportSize);
        for (size_t i = 0; i < reports.size(); ++i) {
            const uint8_t flags = reports[i][1];
            EXPECT_EQ((flags & 1) != 0, i == 0);
            EXPECT_EQ((flags & 0xC0) == 0xC0, i + 1 == reports.size());
            joined += report_text(reports[i], 2, (flags >> 1) & 0x07);
        }
        EXPECT_EQ(joined, frame);
    }
}

TEST(InputReports, TextCountIsCutToTheReportCapacity) {
    uint8_t long_report[64] = {0x40, 200, '!', '0'};
    const InputChunk long_chunk = parse_input_report(long_report, kLongReportSize);
    EXPECT_TRUE(long_chunk.has_text);
    EXPECT_FALSE(long_chunk.more);
    EXPECT_EQ(long_chunk.text.size(), 62u);

    uint8_t short_report[8] = {static_cast<uint8_t>(0x60 | (15 << 1)), 'a', 'b'};
    const InputChunk short_chunk = parse_input_report(short_report, kShortReportSize);
    EXPECT_TRUE(short_chunk.more);
    EXPECT_EQ(short_chunk.text.size(), 7u);

    uint8_t no_text[8] = {0x20, 1, 2};
    EXPECT_FALSE(parse_input_report(no_text, kShortReportSize).has_text);
}

TEST(InputReports, ErrorDumpNeedsEveryByte) {
    uint8_t report[8];
    std::fill(report, report + 8, 0xAA);
    EXPECT_TRUE(is_error_dump_report(report, 8));
    report[7] = 0;
    EXPECT_FALSE(is_error_dump_report(report, 8));
}
