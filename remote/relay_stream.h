// The command stream from the remote-access server, parsed byte by byte into serial data,
// commands and upload blocks. A pure state machine: TCP keeps no message boundaries, so a
// command may be cut anywhere, and the state (an "@" waiting for its command byte, arguments
// or block bytes still to come) carries over from one receive to the next.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace relay {
constexpr uint8_t kEscape = '@';
constexpr uint8_t kKeepAlive = ' ';
// Command bytes after "@".
constexpr uint8_t kRelease = '!';
constexpr uint8_t kOpenAnalyzer = '#';
constexpr uint8_t kOpenDevice = 'H';
constexpr uint8_t kFrame = 'h';
constexpr uint8_t kFrameAfterLog = 'i';
constexpr uint8_t kFetchReplies = 'R';
constexpr uint8_t kRaw = 'E';
constexpr uint8_t kTextLines = 'f';
constexpr uint8_t kTextLinesEnd = 'g';
constexpr uint8_t kAckFlag = 'G';
constexpr uint8_t kAcknowledged = 'F';
// Bytes after "@E".
constexpr uint8_t kUploadReset = '0';
constexpr uint8_t kUploadBlock = '1';
constexpr uint8_t kBlockingReads = '2';
constexpr uint8_t kRawWrite = '3';
constexpr uint8_t kRawRead = '4';
constexpr uint8_t kProgram = '5';
}  // namespace relay

struct RelayEvent {
    enum class Kind {
        serial_byte,  // byte: one data byte for the serial port
        command,      // command (and sub for "@E"), arguments in data/size
        block_start,  // "@E1" hi lo: size = the announced length, data = the two length bytes
        block_data,   // bytes of the block, in order, as they arrive
        block_end,    // the block is complete
    };
    Kind kind = Kind::serial_byte;
    uint8_t byte = 0;
    uint8_t command = 0;
    uint8_t sub = 0;
    const uint8_t* data = nullptr;
    size_t size = 0;
};

class RelayEventSink {
   public:
    virtual ~RelayEventSink() = default;
    // False stops the parse: the rest of the receive is discarded.
    virtual bool on_relay_event(const RelayEvent& event) = 0;
};

class RelayStreamParser {
   public:
    // Count byte, command code and up to 255 data bytes: the longest argument list.
    static constexpr size_t kMaxArguments = 2 + 255;

    // Parses one receive. False when the sink stopped it; the parser is then between commands.
    bool feed(const uint8_t* data, size_t size, RelayEventSink& sink);
    void reset() { state_ = State::data; }
    // No "@", arguments or block bytes are outstanding.
    bool between_commands() const { return state_ == State::data; }
    // The last byte was an "@" whose command byte has not come yet.
    bool escape_pending() const { return state_ == State::escape; }

   private:
    enum class State { data, escape, raw_sub, arguments, block };
    // After a command byte: how many argument bytes it takes before a count is known; 0 means
    // the command is complete.
    void begin_command(uint8_t command, uint8_t sub, size_t fixed, bool counted);
    bool argument(uint8_t byte, RelayEventSink& sink);
    bool finish_command(RelayEventSink& sink);

    State state_ = State::data;
    uint8_t command_ = 0;
    uint8_t sub_ = 0;
    size_t needed_ = 0;     // argument bytes the command takes (so far known)
    bool counted_ = false;  // the last fixed argument byte is a count of data bytes after it
    size_t have_ = 0;
    size_t block_left_ = 0;
    std::array<uint8_t, kMaxArguments> arguments_{};
};
