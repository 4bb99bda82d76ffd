#include <gtest/gtest.h>

#include <string>

#include "update/http_message.h"
#include "update/program_version.h"
#include "update/update_server.h"

namespace {

ResponseHead parse(const std::string& bytes) {
    return parse_response_head(bytes.data(), bytes.size());
}

}  // namespace

TEST(HttpRequest, AbsoluteUrlAndNoHeaderLines) {
    EXPECT_EQ(encode_get_request("updates.example", 80, version_query_path()),
              "GET http://updates.example/programator/QN718_version HTTP/1.0\r\n\r\n");
    EXPECT_EQ(encode_get_request("127.0.0.1", 8080, installer_download_path({2, 19, 0})),
              "GET http://127.0.0.1:8080/programator/QN718_setup_2.19.0.exe HTTP/1.0\r\n\r\n");
}

TEST(HttpResponseHead, LengthAndBodyStart) {
    struct Case {
        const char* name;
        std::string bytes;
        HeadStatus status;
        size_t length;
        size_t body_offset;
    };
    const std::string big_header = "HTTP/1.0 200 OK\r\nX: " + std::string(2100, 'x') + "\r\n";
    const Case cases[] = {
        {"plain", "HTTP/1.0 200 OK\r\nContent-Length: 14\r\n\r\nVERSION", HeadStatus::complete, 14,
         39},
        {"bare LF lines", "X\nContent-Length: 5\n\nabc", HeadStatus::complete, 5, 21},
        {"several CRs end the block", "Content-Length: 3\r\n\r\r\nabc", HeadStatus::complete, 3,
         22},
        {"status line ignored", "garbage\r\nContent-Length: 3\r\n\r\n", HeadStatus::complete, 3,
         30},
        {"trailing text after digits", "Content-Length: 12ab\r\n\r\n", HeadStatus::complete, 12,
         24},
        {"body not yet here", "A\r\nContent-Length: 9\r\n\r\n", HeadStatus::complete, 9, 24},
        {"no end yet", "HTTP/1.0 200 OK\r\nContent-Len", HeadStatus::incomplete, 0, 0},
        {"no Content-Length", "HTTP/1.0 200 OK\r\n\r\nVERSION 2.21.0", HeadStatus::failed, 0, 0},
        {"lower case", "HTTP/1.0 200 OK\r\ncontent-length: 20\r\n\r\n", HeadStatus::failed, 0, 0},
        {"no space", "Content-Length:20\r\n\r\n", HeadStatus::failed, 0, 0},
        {"zero", "Content-Length: 0\r\n\r\n", HeadStatus::failed, 0, 0},
        {"unreadable", "Content-Length: many\r\n\r\n", HeadStatus::failed, 0, 0},
        {"negative", "Content-Length: -5\r\n\r\n", HeadStatus::failed, 0, 0},
        {"overflowing", "Content-Length: 99999999999999999999999\r\n\r\n", HeadStatus::failed, 0,
         0},
        {"two lengths disagree", "Content-Length: 5\r\nContent-Length: 6\r\n\r\n",
         HeadStatus::failed, 0, 0},
        {"length in the body only", "A\r\n\r\nContent-Length: 5\r\n", HeadStatus::failed, 0, 0},
        {"end beyond 2048 bytes", big_header + "Content-Length: 3\r\n\r\nabc", HeadStatus::failed,
         0, 0},
    };
    for (const Case& c : cases) {
        const ResponseHead head = parse(c.bytes);
        EXPECT_EQ(head.status, c.status) << c.name;
        if (c.status == HeadStatus::complete) {
            EXPECT_EQ(head.content_length, c.length) << c.name;
            EXPECT_EQ(head.body_offset, c.body_offset) << c.name;
        }
    }
}

TEST(HttpResponseHead, EndMustLieWithinTheScanLimit) {
    // The empty line's LF as byte 2048 (index 2047) still counts; one byte later it does not.
    const std::string field = "Content-Length: 1\r\n";
    std::string fits = field + std::string(kHeaderScanLimit - field.size() - 2, 'x') + "\n\n";
    ASSERT_EQ(fits.size(), kHeaderScanLimit);
    EXPECT_EQ(parse(fits + "b").status, HeadStatus::complete);
    std::string late = field + std::string(kHeaderScanLimit - field.size() - 1, 'x') + "\n\n";
    EXPECT_EQ(parse(late + "b").status, HeadStatus::failed);
}

TEST(VersionBody, ReadAsTheServerWritesIt) {
    struct Case {
        const char* body;
        bool ok;
        ProgramVersion version;
    };
    const Case cases[] = {
        {"VERSION 2.21.3", true, {2, 21, 3}},
        {"VERSION2.21.3\r\n", true, {2, 21, 3}},
        {"VERSION \n 3. 0.+1 and more", true, {3, 0, 1}},
        {"Version 2.21.0", false, {}},
        {" VERSION 2.21.0", false, {}},
        {"VERSION 2.21", false, {}},
        {"VERSION 2..1", false, {}},
        {"VERSION -2.21.0", false, {}},
        {"VERSION 2.99999999999.0", false, {}},
        {"", false, {}},
    };
    for (const Case& c : cases) {
        ProgramVersion version;
        EXPECT_EQ(parse_version_body(c.body, version), c.ok) << c.body;
        if (c.ok) {
            EXPECT_EQ(version.major, c.version.major) << c.body;
            EXPECT_EQ(version.minor, c.version.minor) << c.body;
            EXPECT_EQ(version.patch, c.version.patch) << c.body;
        }
    }
}

TEST(VersionBody, OnlyTheFirstTwoNumbersCount) {
    EXPECT_TRUE(is_own_version({2, 20, 7}));
    EXPECT_FALSE(is_own_version({2, 19, 4}));
    EXPECT_FALSE(is_own_version({2, 21, 0}));
    EXPECT_FALSE(is_own_version({3, 20, 0}));
    const ProgramVersion offered = installer_version({3, 0, 1});
    EXPECT_EQ(installer_download_path(offered), "/programator/QN718_setup_3.0.0.exe");
}

TEST(UpdateServerSetting, EnvironmentOverridesTheBuild) {
    const UpdateServer defaults{"updates.example", 80};
    struct Case {
        const char* text;
        const char* host;
        uint16_t port;
    };
    const Case cases[] = {
        {nullptr, "updates.example", 80},
        {"", "updates.example", 80},
        {"mirror.example", "mirror.example", 80},
        {"127.0.0.1:8080", "127.0.0.1", 8080},
        {"127.0.0.1:", "", 80},
        {"127.0.0.1:0", "", 80},
        {"127.0.0.1:65536", "", 80},
        {"127.0.0.1:80x", "", 80},
    };
    for (const Case& c : cases) {
        const UpdateServer server = parse_update_server(c.text, defaults);
        EXPECT_EQ(server.host, c.host) << (c.text ? c.text : "(unset)");
        EXPECT_EQ(server.port, c.port) << (c.text ? c.text : "(unset)");
    }
}
