#include <gtest/gtest.h>

#include <string>

#include "update/http_message.h"
#include "update/program_version.h"
#include "update/update_server.h"

namespace {

// "LENGTH at OFFSET" for a complete head, else "incomplete" or "failed".
std::string head_of(const std::string& bytes) {
    const ResponseHead head = parse_response_head(bytes.data(), bytes.size());
    if (head.status != HeadStatus::complete)
        return head.status == HeadStatus::incomplete ? "incomplete" : "failed";
    return std::to_string(head.content_length) + " at " + std::to_string(head.body_offset);
}

}  // namespace

// Requests with a port are the update check's, on the loopback.
TEST(HttpRequest, AbsoluteUrlWithoutPort80AndNoHeaderLines) {
    EXPECT_EQ(encode_get_request("updates.example", 80, version_query_path()),
              "GET http://updates.example/programator/QN718_version HTTP/1.0\r\n\r\n");
}

TEST(HttpResponseHead, LengthAndBodyStart) {
    const std::pair<std::string, const char*> cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 14\r\n\r\nVERSION", "14 at 39"},
        {"X\nContent-Length: 5\n\nabc", "5 at 21"},                    // bare LF lines
        {"Content-Length: 3\r\n\r\r\nabc", "3 at 22"},                 // several CRs end the block
        {"garbage\r\nContent-Length: 3\r\n\r\n", "3 at 30"},           // status line ignored
        {"Content-Length: 12ab\r\n\r\n", "12 at 24"},                  // text after the digits
        {"A\r\nContent-Length: 9\r\n\r\n", "9 at 24"},                 // body not yet here
        {"HTTP/1.0 200 OK\r\nContent-Len", "incomplete"},              // no end yet
        {"HTTP/1.0 200 OK\r\n\r\nVERSION 2.21.0", "failed"},           // no Content-Length
        {"HTTP/1.0 200 OK\r\ncontent-length: 20\r\n\r\n", "failed"},   // lower case
        {"Content-Length: 5\r\nContent-Length: 6\r\n\r\n", "failed"},  // two lengths disagree
        {"A\r\n\r\nContent-Length: 5\r\n", "failed"},                  // length in the body
    };
    for (const auto& [bytes, expected] : cases)
        EXPECT_EQ(head_of(bytes), expected) << bytes;
    for (const char* length : {":20", ": 0", ": many", ": -5", ": 99999999999999999999999"})
        EXPECT_EQ(head_of(std::string("Content-Length") + length + "\r\n\r\n"), "failed");
}

TEST(HttpResponseHead, EndMustLieWithinTheScanLimit) {
    // The empty line's LF as byte 2048 (index 2047) still counts; one byte later it does not.
    const std::string field = "Content-Length: 1\r\n";
    std::string fits = field + std::string(kHeaderScanLimit - field.size() - 2, 'x') + "\n\n";
    ASSERT_EQ(fits.size(), kHeaderScanLimit);
    EXPECT_EQ(head_of(fits + "b"), "1 at 2048");
    EXPECT_EQ(head_of("x" + fits + "b"), "failed");
}

TEST(VersionBody, ReadAsTheServerWritesItAndOnlyTheFirstTwoNumbersCount) {
    const auto read = [](const char* body) {
        ProgramVersion v;
        return parse_version_body(body, v)
                   ? std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
                         std::to_string(v.patch)
                   : "none";
    };
    EXPECT_EQ(read("VERSION 2.21.3"), "2.21.3");
    EXPECT_EQ(read("VERSION2.21.3\r\n"), "2.21.3");
    EXPECT_EQ(read("VERSION \n 3. 0.+1 and more"), "3.0.1");
    for (const char* bad : {"Version 2.21.0", " VERSION 2.21.0", "VERSION 2.21", "VERSION 2..1",
                            "VERSION -2.21.0", "VERSION 2.99999999999.0", ""})
        EXPECT_EQ(read(bad), "none") << bad;

    EXPECT_TRUE(is_own_version({2, 20, 7}));
    for (const ProgramVersion other : {ProgramVersion{2, 19, 4}, {2, 21, 0}, {3, 20, 0}})
        EXPECT_FALSE(is_own_version(other));
}

TEST(UpdateServerSetting, EnvironmentOverridesTheBuildAndABadPortNamesNoServer) {
    const auto server = [](const char* text, const char* built = "updates.example") {
        const std::optional<UpdateServer> s = parse_update_server(text, {built, 80});
        return s ? s->host + ":" + std::to_string(s->port) : "none";
    };
    EXPECT_EQ(server(nullptr), "updates.example:80");
    EXPECT_EQ(server(""), "updates.example:80");
    EXPECT_EQ(server("mirror.example"), "mirror.example:80");
    EXPECT_EQ(server("127.0.0.1:8080"), "127.0.0.1:8080");
    for (const char* bad : {"127.0.0.1:", "127.0.0.1:0", "127.0.0.1:65536", "127.0.0.1:80x"})
        EXPECT_EQ(server(bad), ":80") << bad;

    // A build without a server: none unless the environment names one, and a mistyped
    // override is still an error to show, never taken for none.
    EXPECT_EQ(server(nullptr, ""), "none");
    EXPECT_EQ(server("", ""), "none");
    EXPECT_EQ(server("127.0.0.1:8080", ""), "127.0.0.1:8080");
    EXPECT_EQ(server(":8080", ""), ":8080");
    EXPECT_EQ(server("127.0.0.1:http", ""), ":80");
}
