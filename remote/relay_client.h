// The device behind a remote-access session, reached through the relay commands: a transport
// under DeviceLink for the device operations, and the upload, raw report and programming
// commands the remote flash needs. One command at a time, each answer awaited in bounded time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/device_link.h"
#include "remote/relay_channel.h"
#include "remote/relay_client_codec.h"

// Why the session cannot be used any more; the first problem stays.
enum class RelayProblem {
    none,
    gone,            // the connection closed, or the program said farewell
    garbage,         // the program's bytes were no answer to the command
    timed_out,       // no answer within the time limit
    damaged_upload,  // an upload block's sum differs from the one sent
};

struct RelayTimeouts {
    // One answer; programming waits this long between two progress records, which follow
    // eight block writes each.
    int answer_ms = 30000;
    // Silence after "@E4" that marks a failed raw read, which sends no count.
    int quiet_ms = 300;
};

class RelayClient : public LinkTransport {
   public:
    explicit RelayClient(std::unique_ptr<RelayChannel> channel, RelayTimeouts timeouts = {});

    OpenResult open() override;
    void close() override;
    DeviceKind kind() const override { return kind_; }
    bool send_frame(uint8_t code, const uint8_t* payload, int count) override;
    TransportPoll next_reply(DeviceReply& reply) override;
    std::string failure() const override;

    // "@E0" and the image in blocks, every block's sum checked.
    bool upload(const uint8_t* image, size_t size);
    // Later raw reads wait for their report.
    bool blocking_reads();
    // True when the program wrote the whole report.
    bool raw_write(const uint8_t* report, size_t size);
    // Bytes read into `into` (at most size, at most 255), 0 when none came in the program's
    // wait, -1 when the read failed or the session is lost.
    int raw_read(uint8_t* into, size_t size);
    // "@E5": the uploaded image programmed from start_address on; progress gets every per-mille
    // record, 1000 last. False when the program stopped before the end.
    bool program(uint32_t start_address, const std::function<void(int permille)>& progress);

    RelayProblem problem() const { return problem_; }

   private:
    std::optional<relay_client::Answer> ask(const std::string& commands,
                                            relay_client::Expect expect);
    std::optional<relay_client::Answer> await(relay_client::Expect expect);
    bool send(const std::string& commands);
    void lose(RelayProblem problem);

    std::unique_ptr<RelayChannel> channel_;
    RelayTimeouts timeouts_;
    std::string received_;             // bytes not yet part of an answer
    std::deque<std::string> records_;  // fetched replies not yet polled
    DeviceKind kind_ = DeviceKind::none;
    RelayProblem problem_ = RelayProblem::none;
    bool no_link_ = false;  // the last fetch found no programmer link at the far end
    size_t uploaded_ = 0;
};
