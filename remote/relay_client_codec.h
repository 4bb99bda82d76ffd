// The technician's half of the relay protocol: the commands a server sends to the program and
// the program's answers, read back from the byte stream. Pure functions, no sockets.
//
// The program's answers carry no end mark of their own: a fetch may bring any number of
// records, split anywhere on their way. A fetch is therefore always sent together with a
// flag query ("@R@G"): the flag's answer, which no record can imitate, ends it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct DeviceReply;

namespace relay_client {

// The technician socket carries records of 1 to this many bytes, each a run of whole commands.
constexpr size_t kMaxTechnicianRecord = 8192;
// "@E1", two length bytes and the block fit one technician record.
constexpr size_t kMaxUploadBlock = kMaxTechnicianRecord - 5;
// A count byte limits a frame's data and a raw report.
constexpr size_t kMaxCountedBytes = 255;

// Encoders; each returns the bytes of one command, or "" when its data cannot be carried.
std::string open_device();  // "@H"
// "@h" C n d, or "@i" C n d (the program first drops stale replies other than log lines).
std::string frame(uint8_t code, const uint8_t* data, size_t count, bool after_log = false);
std::string fetch_replies();  // "@R@G"
std::string upload_reset();   // "@E0"
std::string upload_block(const uint8_t* data, size_t size);
std::string blocking_reads();  // "@E2"
std::string raw_write(const uint8_t* report, size_t size);
std::string raw_read(uint8_t count);
std::string program(uint32_t start_address);  // little-endian, unlike the block length
std::string release();                        // "@!"
// The technician socket's framing: two length bytes, high first, then the commands.
std::string technician_record(std::string_view commands);

// The block sum the program answers to an upload block.
uint16_t block_sum(const uint8_t* data, size_t size);

// What the answer to a command looks like.
enum class Expect {
    status,        // "@H": "@" and one byte
    replies,       // "@R@G": records, "@R" 0 or "@!", then "@G" f
    upload_reset,  // "@E0"
    block_sum,     // "@E1" s_hi s_lo
    raw_write,     // "@E3" r
    raw_read,      // "@E4" r data, or "@E4" alone when the read failed
    progress,      // one "@E5" p_hi p_lo
};

struct Answer {
    enum class Kind {
        status,   // status: '1', '2', '3' (the device kind), '#', '$' or '!'
        replies,  // records (possibly none); no_link when the program has no programmer link
        upload_reset,
        block_sum,    // value
        raw_written,  // result: the low byte of the write's count
        raw_read,     // result: bytes read (-1: the read failed), data
        progress,     // value: per mille, 1000 at the end
        released,     // "@!" instead of the answer: the program let the device go
    };
    Kind kind = Kind::status;
    uint8_t status = 0;
    std::vector<std::string> records;  // each: code, payload and checksum
    bool no_link = false;
    uint16_t value = 0;
    int result = 0;
    std::string data;
};

struct Decoded {
    enum class State { incomplete, complete, garbage };
    State state = State::incomplete;
    size_t consumed = 0;  // bytes of the answer, when complete
    Answer answer;
};

// Reads one answer from the start of bytes. quiet: no more bytes are coming for now, which
// tells a failed raw read ("@E4" alone) from one whose count has not arrived yet.
Decoded decode(Expect expect, std::string_view bytes, bool quiet = false);

// A record as the device's reply: false when it is too short or its checksum is wrong.
bool record_to_reply(std::string_view record, DeviceReply& reply);

}  // namespace relay_client
