#include "remote/relay_client.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "firmware/bootloader_protocol.h"

namespace {

using relay_client::Answer;
using relay_client::Decoded;
using relay_client::Expect;

// More bytes than the longest answer (a full reply queue) without a complete answer.
constexpr size_t kMaxAnswerBytes = 65536;
// Programming reports its progress every eighth block.
constexpr size_t kProgressEvery = 8 * kFlashBlockSize;

}  // namespace

RelayClient::RelayClient(std::unique_ptr<RelayChannel> channel, RelayTimeouts timeouts)
    : channel_(std::move(channel)), timeouts_(timeouts) {}

void RelayClient::lose(RelayProblem problem) {
    if (problem_ == RelayProblem::none)
        problem_ = problem;
    kind_ = DeviceKind::none;
    records_.clear();
}

std::string RelayClient::failure() const {
    switch (problem_) {
        case RelayProblem::none:
            return no_link_ ? "the remote program holds no device" : "";
        case RelayProblem::gone:
            return "the remote session ended";
        case RelayProblem::garbage:
            return "the remote program sent no answer";
        case RelayProblem::timed_out:
            return "the remote program did not answer in time";
        case RelayProblem::damaged_upload:
            return "an upload block reached the remote program damaged";
    }
    return "";
}

bool RelayClient::send(const std::string& commands) {
    if (problem_ != RelayProblem::none)
        return false;
    // The stream must be in step: bytes nobody asked for mean it is not.
    if (!received_.empty()) {
        lose(RelayProblem::garbage);
        return false;
    }
    if (commands.empty() || commands.size() > relay_client::kMaxTechnicianRecord ||
        !channel_->send(commands)) {
        lose(commands.empty() ? RelayProblem::garbage : RelayProblem::gone);
        return false;
    }
    return true;
}

std::optional<Answer> RelayClient::await(Expect expect) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(timeouts_.answer_ms);
    bool quiet = false;
    for (;;) {
        const Decoded decoded = relay_client::decode(expect, received_, quiet);
        if (decoded.state == Decoded::State::complete) {
            received_.erase(0, decoded.consumed);
            // "@!" in place of an answer: the program is closing the connection.
            if (decoded.answer.kind == Answer::Kind::released) {
                lose(RelayProblem::gone);
                return std::nullopt;
            }
            return decoded.answer;
        }
        if (decoded.state == Decoded::State::garbage || received_.size() > kMaxAnswerBytes) {
            lose(RelayProblem::garbage);
            return std::nullopt;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            lose(RelayProblem::timed_out);
            return std::nullopt;
        }
        // Only a raw read's answer can end in silence; every other waits for its bytes.
        const bool may_end_quietly = expect == Expect::raw_read && !received_.empty();
        const int wait = static_cast<int>(
            may_end_quietly ? std::min<long long>(left, timeouts_.quiet_ms) : left);
        const size_t before = received_.size();
        switch (channel_->receive(received_, wait)) {
            case ChannelRead::data:
                quiet = false;
                if (received_.size() == before)
                    continue;
                break;
            case ChannelRead::timed_out:
                quiet = may_end_quietly;
                break;
            case ChannelRead::closed:
                lose(RelayProblem::gone);
                return std::nullopt;
        }
    }
}

std::optional<Answer> RelayClient::ask(const std::string& commands, Expect expect) {
    if (!send(commands))
        return std::nullopt;
    return await(expect);
}

OpenResult RelayClient::open() {
    kind_ = DeviceKind::none;
    records_.clear();
    no_link_ = false;
    const auto answer = ask(relay_client::open_device(), Expect::status);
    if (!answer)
        return OpenResult::nothing;
    switch (answer->status) {
        case '1':
            kind_ = DeviceKind::programmer_link;
            return OpenResult::link;
        case '3':
            kind_ = DeviceKind::usbic_link;
            return OpenResult::link;
        case '2':
            kind_ = DeviceKind::bootloader;
            return OpenResult::bootloader;
        default:
            return OpenResult::nothing;
    }
}

void RelayClient::close() {
    kind_ = DeviceKind::none;
    records_.clear();
}

bool RelayClient::send_frame(uint8_t code, const uint8_t* payload, int count) {
    if (count < 0)
        return false;
    return send(relay_client::frame(code, payload, static_cast<size_t>(count)));
}

TransportPoll RelayClient::next_reply(DeviceReply& reply) {
    for (;;) {
        while (!records_.empty()) {
            const std::string record = std::move(records_.front());
            records_.pop_front();
            // A damaged record is passed over, as the local link passes over a damaged frame.
            if (relay_client::record_to_reply(record, reply))
                return TransportPoll::reply;
        }
        if (problem_ != RelayProblem::none)
            return TransportPoll::failed;
        const auto answer = ask(relay_client::fetch_replies(), Expect::replies);
        if (!answer)
            return TransportPoll::failed;
        if (answer->no_link) {
            no_link_ = true;
            kind_ = DeviceKind::none;
            return TransportPoll::failed;
        }
        if (answer->records.empty())
            return TransportPoll::nothing;
        records_.assign(answer->records.begin(), answer->records.end());
    }
}

bool RelayClient::upload(const uint8_t* image, size_t size) {
    const auto reset = ask(relay_client::upload_reset(), Expect::upload_reset);
    if (!reset || reset->kind != Answer::Kind::upload_reset)
        return false;
    uploaded_ = 0;
    for (size_t offset = 0; offset < size;) {
        const size_t block = std::min(size - offset, relay_client::kMaxUploadBlock);
        const auto sum = ask(relay_client::upload_block(image + offset, block), Expect::block_sum);
        if (!sum)
            return false;
        if (sum->value != relay_client::block_sum(image + offset, block)) {
            lose(RelayProblem::damaged_upload);
            return false;
        }
        offset += block;
        uploaded_ = offset;
    }
    return true;
}

bool RelayClient::blocking_reads() {
    return send(relay_client::blocking_reads());
}

bool RelayClient::raw_write(const uint8_t* report, size_t size) {
    const auto answer = ask(relay_client::raw_write(report, size), Expect::raw_write);
    return answer && answer->result == static_cast<int>(size & 0xFF);
}

int RelayClient::raw_read(uint8_t* into, size_t size) {
    size = std::min(size, relay_client::kMaxCountedBytes);
    const auto answer = ask(relay_client::raw_read(static_cast<uint8_t>(size)), Expect::raw_read);
    if (!answer)
        return -1;
    if (answer->result > static_cast<int>(size)) {
        lose(RelayProblem::garbage);
        return -1;
    }
    if (answer->result > 0)
        std::memcpy(into, answer->data.data(), static_cast<size_t>(answer->result));
    return answer->result;
}

bool RelayClient::program(uint32_t start_address,
                          const std::function<void(int permille)>& progress) {
    if (!send(relay_client::program(start_address)))
        return false;
    // One record per eight blocks and the last: more, or a step back, is not this command's.
    const size_t most = uploaded_ / kProgressEvery + 2;
    int last = -1;
    for (size_t records = 0; records < most; ++records) {
        const auto answer = await(Expect::progress);
        if (!answer)
            return false;
        const int permille = answer->value;
        if (permille > 1000 || permille < last) {
            lose(RelayProblem::garbage);
            return false;
        }
        last = permille;
        progress(permille);
        if (permille == 1000)
            return true;
    }
    lose(RelayProblem::garbage);
    return false;
}
