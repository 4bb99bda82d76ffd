// The remote-access server's command stream is untrusted: whatever it sends and wherever TCP
// cuts it, the parser must stay within its buffers and report only well-formed events.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "remote/relay_stream.h"

namespace {

class CheckingSink : public RelayEventSink {
   public:
    size_t block_left = 0;
    bool in_block = false;
    size_t events = 0;

    bool on_relay_event(const RelayEvent& e) override {
        ++events;
        switch (e.kind) {
            case RelayEvent::Kind::serial_byte:
                check(!in_block);
                break;
            case RelayEvent::Kind::command: {
                check(!in_block && e.size <= RelayStreamParser::kMaxArguments);
                // A counted argument list is exactly as long as its count says.
                if (e.command == 'h' || e.command == 'i')
                    check(e.size == 2u + e.data[1]);
                if (e.command == 'F' || (e.command == 'E' && e.sub == '3'))
                    check(e.size == 1u + e.data[0]);
                volatile uint8_t sum = 0;
                for (size_t i = 0; i < e.size; ++i)
                    sum = static_cast<uint8_t>(sum + e.data[i]);
                break;
            }
            case RelayEvent::Kind::block_start:
                check(!in_block && e.size <= 0xFFFF);
                in_block = true;
                block_left = e.size;
                break;
            case RelayEvent::Kind::block_data:
                check(in_block && e.size > 0 && e.size <= block_left);
                block_left -= e.size;
                break;
            case RelayEvent::Kind::block_end:
                check(in_block && block_left == 0);
                in_block = false;
                break;
        }
        // Status reports end a receive: let the first byte of the input pick one to stop at.
        return !(e.kind == RelayEvent::Kind::command && e.command == stop_at);
    }
    uint8_t stop_at = 0;

   private:
    static void check(bool condition) {
        if (!condition)
            std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    RelayStreamParser parser;
    CheckingSink sink;
    sink.stop_at = data[0];
    // The second byte cuts the rest into receives of 1 to 256 bytes, repeating.
    const size_t piece = static_cast<size_t>(data[1]) + 1;
    for (size_t from = 2; from < size; from += piece) {
        const size_t count = from + piece <= size ? piece : size - from;
        if (!parser.feed(data + from, count, sink))
            sink.in_block = false;  // the rest of that receive was dropped, block included
    }
    return 0;
}
