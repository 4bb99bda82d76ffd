// The relay server's codecs and rules as tables: login lines, request lines, records, codes and
// the per-address login guard.
#include <gtest/gtest.h>

#include "relay_server/access_code.h"
#include "relay_server/login_guard.h"
#include "relay_server/relay_codec.h"

using namespace relay_server;

TEST(RelayCodecTest, LoginLinesEndAtTheLfAndHoldAtMost38Bytes) {
    struct Case {
        std::string received;
        LoginScan scan;
        std::string password;
    };
    const Case cases[] = {
        {"", LoginScan::incomplete, ""},
        {"482-913", LoginScan::incomplete, ""},
        {"482-913-507\n", LoginScan::complete, "482-913-507"},
        {"\n", LoginScan::complete, ""},
        {"a\nb", LoginScan::complete, "a"},
        {std::string(38, 'x') + "\n", LoginScan::complete, std::string(38, 'x')},
        {std::string(38, 'x'), LoginScan::incomplete, ""},
        {std::string(39, 'x'), LoginScan::too_long, ""},
        {std::string(39, 'x') + "\n", LoginScan::too_long, ""},
    };
    for (const Case& c : cases) {
        std::string password;
        EXPECT_EQ(scan_login_line(c.received, password), c.scan) << c.received;
        if (c.scan == LoginScan::complete) {
            EXPECT_EQ(password, c.password);
        }
    }
}

TEST(RelayCodecTest, RequestLinesAreTheFourRequestsWithTheirBounds) {
    using Kind = TechnicianRequest::Kind;
    struct Case {
        std::string line;
        bool valid;
        Kind kind;
        std::string code;
        int minutes;
        int seconds;
    };
    const Case cases[] = {
        {"NEW", true, Kind::new_code, "", 30, 0},
        {"NEW 1", true, Kind::new_code, "", 1, 0},
        {"NEW  1440", true, Kind::new_code, "", 1440, 0},
        {"NEW 0", false, Kind::sessions, "", 0, 0},
        {"NEW 1441", false, Kind::sessions, "", 0, 0},
        {"NEW -5", false, Kind::sessions, "", 0, 0},
        {"NEW 5 6", false, Kind::sessions, "", 0, 0},
        {"NEW 99999999999", false, Kind::sessions, "", 0, 0},
        {"SESSIONS", true, Kind::sessions, "", 30, 0},
        {"SESSIONS all", false, Kind::sessions, "", 0, 0},
        {"ATTACH 482-913-507", true, Kind::attach, "482-913-507", 30, 0},
        {"ATTACH 482-913-507 600", true, Kind::attach, "482-913-507", 30, 600},
        {"ATTACH 482-913-507 601", false, Kind::sessions, "", 0, 0},
        {"ATTACH", false, Kind::sessions, "", 0, 0},
        {"CLOSE 482-913-507", true, Kind::close, "482-913-507", 30, 0},
        {"CLOSE", false, Kind::sessions, "", 0, 0},
        {"", false, Kind::sessions, "", 0, 0},
        {"new 5", false, Kind::sessions, "", 0, 0},
        {"NEW\t5", false, Kind::sessions, "", 0, 0},
        {"SESSIONS\r", false, Kind::sessions, "", 0, 0},
        {std::string("NEW \xff"), false, Kind::sessions, "", 0, 0},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto request = parse_technician_request(c.line, error);
        ASSERT_EQ(request.has_value(), c.valid) << c.line;
        if (!request) {
            EXPECT_FALSE(error.empty()) << c.line;
            continue;
        }
        EXPECT_EQ(request->kind, c.kind) << c.line;
        EXPECT_EQ(request->code, c.code) << c.line;
        EXPECT_EQ(request->minutes, c.minutes) << c.line;
        EXPECT_EQ(request->seconds, c.seconds) << c.line;
        // What a client writes reads back as the same request.
        const std::string written = format_request(*request);
        const auto again = parse_technician_request(written.substr(0, written.size() - 1), error);
        ASSERT_TRUE(again) << written;
        EXPECT_EQ(again->kind, c.kind);
    }
    EXPECT_EQ(format_session_line(SessionState::waiting, "", 1800), "SESSION waiting - 1800\n");
    EXPECT_EQ(format_session_line(SessionState::attached, "10.0.0.7", -3),
              "SESSION attached 10.0.0.7 0\n");
}

TEST(RelayCodecTest, RecordsAreOneTo8192BytesBehindABigEndianLength) {
    struct Case {
        std::string stream;
        RecordScan scan;
        std::string record;
        size_t consumed;
    };
    const std::string full(8192, 'r');
    const Case cases[] = {
        {"", RecordScan::incomplete, "", 0},
        {std::string("\x00", 1), RecordScan::incomplete, "", 0},
        {std::string("\x00\x00", 2), RecordScan::invalid, "", 0},
        {std::string("\x00\x00@H", 4), RecordScan::invalid, "", 0},
        {"\x20\x01", RecordScan::invalid, "", 0},
        {"\xff\xff", RecordScan::invalid, "", 0},
        {std::string("\x00\x03@H", 4), RecordScan::incomplete, "", 0},
        {std::string("\x00\x02@H\x00\x02@R", 8), RecordScan::complete, "@H", 4},
        {std::string("\x20\x00", 2) + full, RecordScan::complete, full, 8194},
        {std::string("\x20\x00", 2) + full.substr(1), RecordScan::incomplete, "", 0},
    };
    for (const Case& c : cases) {
        std::string_view record;
        size_t consumed = 0;
        EXPECT_EQ(scan_record(c.stream, record, consumed), c.scan) << c.stream.size();
        if (c.scan == RecordScan::complete) {
            EXPECT_EQ(record, c.record);
            EXPECT_EQ(consumed, c.consumed);
        }
    }
    EXPECT_EQ(encode_record("@R"), std::string("\x00\x02@R", 4));
    EXPECT_EQ(encode_record(full)->substr(0, 2), std::string("\x20\x00", 2));
    EXPECT_FALSE(encode_record(""));
    EXPECT_FALSE(encode_record(std::string(8193, 'x')));
}

TEST(RelayCodecTest, CodesAreNineDigitsComparedWhateverTheGrouping) {
    EXPECT_EQ(format_access_code({0, 0, 0, 0, 0, 0, 0, 0}), "000-000-000");
    EXPECT_EQ(format_access_code({0, 0, 0, 0, 0x1C, 0xBE, 0x99, 0x1A}), "482-253-082");
    EXPECT_EQ(format_access_code({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), "709-551-615");

    const CanonicalCode expected = {'4', '8', '2', '2', '5', '3', '0', '8', '2'};
    for (const char* typed : {"482-253-082", "482 253 082", "482253082", " 482-253-082 "}) {
        const auto code = canonical_code(typed);
        ASSERT_TRUE(code) << typed;
        EXPECT_TRUE(codes_equal(*code, expected)) << typed;
    }
    for (const char* typed : {"", "48225308", "4822530820", "482-253-08x", "482_253_082",
                              "482-253-082\r", "\xef\xbc\x94"}) {
        EXPECT_FALSE(canonical_code(typed)) << typed;
    }
    const auto other = canonical_code("482-253-083");
    EXPECT_FALSE(codes_equal(*other, expected));

    // Two codes from the system differ (a 1 in 10^9 chance that they do not).
    std::array<uint8_t, kCodeRandomBytes> a{}, b{};
    ASSERT_TRUE(system_random(a.data(), a.size()));
    ASSERT_TRUE(system_random(b.data(), b.size()));
    EXPECT_NE(format_access_code(a), format_access_code(b));
}

TEST(RelayCodecTest, LoginGuardBlocksAnAddressAfterFiveFailuresInAMinute) {
    using std::chrono::seconds;
    LoginGuard guard({5, seconds(60), seconds(60), 3});
    const auto start = LoginGuard::Clock::time_point{} + std::chrono::hours(1);
    for (int i = 0; i < 4; ++i)
        guard.record_failure("10.0.0.1", start + seconds(i));
    EXPECT_TRUE(guard.allowed("10.0.0.1", start + seconds(5)));
    guard.record_failure("10.0.0.1", start + seconds(5));
    EXPECT_FALSE(guard.allowed("10.0.0.1", start + seconds(6)));
    EXPECT_TRUE(guard.allowed("10.0.0.2", start + seconds(6)));
    EXPECT_FALSE(guard.allowed("10.0.0.1", start + seconds(64)));
    EXPECT_TRUE(guard.allowed("10.0.0.1", start + seconds(65)));

    // Failures spread wider than the window never block.
    for (int i = 0; i < 10; ++i)
        guard.record_failure("10.0.0.3", start + seconds(20 * i));
    EXPECT_TRUE(guard.allowed("10.0.0.3", start + seconds(200)));

    // The table holds at most its bound of addresses, whatever the flood.
    for (int i = 0; i < 100; ++i)
        guard.record_failure("10.1.0." + std::to_string(i), start + seconds(300 + i));
    EXPECT_LE(guard.tracked(), 3u);
}
