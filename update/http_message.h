// The update server's HTTP/1.0 exchange: the request the program sends and the rules by which
// it reads a response's header block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Only this much of a response is searched for the end of its header block.
constexpr size_t kHeaderScanLimit = 2048;

// "GET http://HOST[:PORT]PATH HTTP/1.0" and an empty line; no other header. The port appears
// only when it is not 80, so that the absolute URL names the server actually asked.
std::string encode_get_request(const std::string& host, uint16_t port, const std::string& path);

enum class HeadStatus {
    complete,    // header block ended, with a usable body length
    incomplete,  // no end yet, and more bytes may still bring it
    failed,      // no usable body length, or no end within kHeaderScanLimit bytes
};

struct ResponseHead {
    HeadStatus status = HeadStatus::incomplete;
    size_t body_offset = 0;     // first body byte (complete only)
    size_t content_length = 0;  // announced body length, above zero (complete only)
};

// Reads the header block at the start of data. The status line is not examined. A line that
// begins with exactly "Content-Length: " gives the body length as a decimal number; the block
// ends at the first line made of nothing but CRs before its LF.
ResponseHead parse_response_head(const char* data, size_t size);
