#include "remote/relay_stream.h"

void RelayStreamParser::begin_command(uint8_t command, uint8_t sub, size_t fixed, bool counted) {
    command_ = command;
    sub_ = sub;
    needed_ = fixed;
    counted_ = counted;
    have_ = 0;
    state_ = State::arguments;
}

bool RelayStreamParser::finish_command(RelayEventSink& sink) {
    RelayEvent event;
    event.command = command_;
    event.sub = sub_;
    event.data = arguments_.data();
    event.size = have_;
    if (command_ == relay::kRaw && sub_ == relay::kUploadBlock) {
        event.kind = RelayEvent::Kind::block_start;
        block_left_ = static_cast<size_t>(arguments_[0]) * 256 + arguments_[1];
        event.size = block_left_;
        state_ = State::block;
        if (!sink.on_relay_event(event))
            return false;
        if (block_left_ == 0) {
            state_ = State::data;
            RelayEvent end;
            end.kind = RelayEvent::Kind::block_end;
            return sink.on_relay_event(end);
        }
        return true;
    }
    event.kind = RelayEvent::Kind::command;
    state_ = State::data;
    return sink.on_relay_event(event);
}

bool RelayStreamParser::argument(uint8_t byte, RelayEventSink& sink) {
    arguments_[have_++] = byte;
    if (counted_ && have_ == needed_) {
        counted_ = false;
        needed_ += byte;
    }
    if (have_ < needed_)
        return true;
    return finish_command(sink);
}

bool RelayStreamParser::feed(const uint8_t* data, size_t size, RelayEventSink& sink) {
    size_t i = 0;
    bool going = true;
    while (going && i < size) {
        const uint8_t byte = data[i];
        switch (state_) {
            case State::data:
                ++i;
                if (byte == relay::kEscape) {
                    state_ = State::escape;
                } else {
                    RelayEvent event;
                    event.byte = byte;
                    going = sink.on_relay_event(event);
                }
                break;
            case State::escape:
                ++i;
                switch (byte) {
                    case relay::kRelease:
                    case relay::kOpenAnalyzer:
                    case relay::kOpenDevice:
                    case relay::kFetchReplies:
                    case relay::kTextLines:
                    case relay::kAckFlag:
                        begin_command(byte, 0, 0, false);
                        going = finish_command(sink);
                        break;
                    case relay::kFrame:
                    case relay::kFrameAfterLog:
                        begin_command(byte, 0, 2, true);
                        break;
                    case relay::kAcknowledged:
                        begin_command(byte, 0, 1, true);
                        break;
                    case relay::kRaw:
                        state_ = State::raw_sub;
                        break;
                    default: {
                        // "@@" and "@" before any other byte stand for that byte.
                        state_ = State::data;
                        RelayEvent event;
                        event.byte = byte;
                        going = sink.on_relay_event(event);
                        break;
                    }
                }
                break;
            case State::raw_sub:
                ++i;
                switch (byte) {
                    case relay::kUploadBlock:
                        begin_command(relay::kRaw, byte, 2, false);
                        break;
                    case relay::kRawWrite:
                        begin_command(relay::kRaw, byte, 1, true);
                        break;
                    case relay::kRawRead:
                        begin_command(relay::kRaw, byte, 1, false);
                        break;
                    case relay::kProgram:
                        begin_command(relay::kRaw, byte, 4, false);
                        break;
                    default:  // "@E0", "@E2" and the ignored "@E" + other byte
                        begin_command(relay::kRaw, byte, 0, false);
                        going = finish_command(sink);
                        break;
                }
                break;
            case State::arguments:
                ++i;
                going = argument(byte, sink);
                break;
            case State::block: {
                const size_t take = block_left_ < size - i ? block_left_ : size - i;
                RelayEvent event;
                event.kind = RelayEvent::Kind::block_data;
                event.data = data + i;
                event.size = take;
                i += take;
                block_left_ -= take;
                going = sink.on_relay_event(event);
                if (going && block_left_ == 0) {
                    state_ = State::data;
                    RelayEvent end;
                    end.kind = RelayEvent::Kind::block_end;
                    going = sink.on_relay_event(end);
                }
                break;
            }
        }
    }
    if (!going)
        state_ = State::data;
    return going;
}
