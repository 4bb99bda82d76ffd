// The interruption sweep's operations that reach the device through the remote relay: a
// configuration read and a flash, each driven by a relay server on the loopback.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "device/frame_codec.h"
#include "firmware/bootloader_protocol.h"
#include "remote/remote_session.h"
#include "support/loopback_relay_peer.h"
#include "support/recording_remote_host.h"

namespace sweep {

// The remote-access server of a relayed run. It sends one command at a time, lets the program
// carry it out in relay steps, and judges only by what comes back, as a real server must.
struct RelayServer {
    LoopbackRelayPeer peer;
    RemoteSession session;
    RecordingRemoteHost host;
    std::string heard;  // everything the program sent

    // Relay steps for one command: enough for the largest upload block, and a bound for a
    // program that never takes the command.
    static constexpr int kMaxSteps = 50;

    // Waits briefly until the program's answer has `expected` bytes; the program sends within
    // its step, so only a short answer waits at all.
    void listen(std::string& answer, size_t expected) {
        const size_t before = answer.size();
        answer += peer.take();
        for (int waits = 0; waits < 20 && answer.size() < expected && session.connected(); ++waits)
            answer += peer.take(1);
        heard.append(answer, before, std::string::npos);
    }

    std::string ask(Run& run, const std::string& command, size_t expected = 0) {
        std::string answer;
        if (!session.connected() || !peer.send(command))
            return answer;
        // Until a step has received data and the parser is back between commands.
        for (int steps = 0; steps < kMaxSteps && session.connected(); ++steps) {
            relay_step(session, run.link, run.image, host);
            if (session.silence_count == 0 && session.parser.between_commands())
                break;
        }
        listen(answer, expected);
        return answer;
    }
};

// The parameter block in a reply 6 among the records, checked as a server checks a record:
// its count, checksum, offset and length.
inline std::vector<uint8_t> block_in_records(const std::string& answer) {
    constexpr size_t kRecordBytes = 1 + 2 + kConfigRecordSize + 1;  // code, offset, count, sum
    for (size_t at = 0; at + 3 <= answer.size() && answer.compare(at, 2, "@R") == 0;) {
        const size_t n = static_cast<uint8_t>(answer[at + 2]);
        if (n == 0 || at + 3 + n > answer.size())
            break;
        std::vector<uint8_t> frame = {static_cast<uint8_t>(n - 1)};
        frame.insert(frame.end(), answer.begin() + static_cast<long>(at) + 3,
                     answer.begin() + static_cast<long>(at + 2 + n));
        const bool sound =
            frame_checksum(frame.data(), frame.size()) == static_cast<uint8_t>(answer[at + 2 + n]);
        if (sound && n == kRecordBytes && frame[1] == 6 && frame[2] == 0x01 &&
            frame[3] == kConfigRecordSize)
            return {frame.begin() + 4, frame.end()};
        at += 3 + n;
    }
    return {};
}

inline void relay_log_in(Run& run) {
    run.server = std::make_shared<RelayServer>();
    RelayServer& server = *run.server;
    if (log_in(server.session, {"127.0.0.1", server.peer.port()}, "secret") !=
            LoginResult::logged_in ||
        !server.peer.wait_for_logins(1)) {
        std::fprintf(stderr, "sweep: the relay server could not be reached\n");
        std::abort();
    }
}

// The read a server makes of the parameter block: open, command 5, then fetch until the reply
// comes. Success is the server holding a block that passed its checks.
inline void relayed_read(Run& run) {
    RelayServer& server = *run.server;
    if (server.ask(run, "@H", 2) != "@1")
        return;
    server.ask(run, "@h" + bytes({0x05, 2, 0x01, kConfigRecordSize}));
    std::vector<uint8_t>& block = run.outcome.relayed_block;
    for (int fetch = 0; fetch < 3 && block.empty(); ++fetch) {
        // "@!" (no device) or records, whose first count tells how much is still to come.
        std::string answer = server.ask(run, "@R", 2);
        if (answer.compare(0, 2, "@R") == 0)
            server.listen(answer, 3);
        if (answer.size() >= 3 && answer.compare(0, 2, "@R") == 0)
            server.listen(answer, 3 + static_cast<uint8_t>(answer[2]));
        block = block_in_records(answer);
    }
    run.outcome.success = run.outcome.returned = !block.empty();
}

// The flash a server makes: the image uploaded, the application switched into its bootloader,
// then the bootloader driven through raw reports as the flasher drives it, the blocks written
// by the program. Success is every answer as it must be up to the valid marker's read-back.
inline void relayed_flash(Run& run) {
    RelayServer& server = *run.server;
    const std::string image =
        make_firmware_file(kSweepImageBytes, kNewFirmware).substr(kFirmwareHeaderSize);
    int sum = 0;
    for (const char c : image)
        sum += static_cast<uint8_t>(c);
    sum %= 65535;
    const int size = static_cast<int>(image.size());
    if (server.ask(run, "@E0", 3) != "@E0" ||
        server.ask(run, "@E1" + bytes({size >> 8, size & 0xFF}) + image, 5) !=
            "@E1" + bytes({sum >> 8, sum & 0xFF}))
        return;

    if (server.ask(run, "@H", 2) != "@1")
        return;
    server.ask(run, "@h" + bytes({command::kEnterBootloader, 0}));
    std::string status;
    for (int tries = 0; tries < 3 && status != "@2"; ++tries)
        status = server.ask(run, "@H", 2);
    if (status != "@2")
        return;
    server.ask(run, "@E2");

    const auto exchange = [&](const BootloaderReport& request, BootloaderReply* reply) {
        const std::string ok_write = "@E3" + bytes({kBootloaderRequestSize});
        if (server.ask(run, ok_write + std::string(request.begin(), request.end()), 4) != ok_write)
            return false;
        if (!reply)
            return true;
        const std::string header = "@E4" + bytes({kBootloaderReplySize});
        const std::string answer = server.ask(run, header, 4 + kBootloaderReplySize);
        if (answer.size() != 4 + kBootloaderReplySize || answer.compare(0, 4, header) != 0)
            return false;
        std::copy(answer.begin() + 4, answer.end(), reply->begin());
        return true;
    };
    const auto query = [&] {
        BootloaderReply reply{};
        return exchange(bootloader_request(bootloader::kQuery), &reply) &&
               query_reply_expected(reply);
    };
    const auto send = [&](uint8_t code) { return exchange(bootloader_request(code), nullptr); };
    if (!query() || !send(bootloader::kComplete) || !send(bootloader::kUnlock) ||
        !send(bootloader::kUnlock) || !send(bootloader::kErase) || !query())
        return;

    const int base = kExpectedStartAddress;
    const size_t progress_records =
        (image.size() + 8 * kFlashBlockSize - 1) / (8 * kFlashBlockSize);
    const std::string programmed = server.ask(
        run, "@E5" + bytes({base & 0xFF, base >> 8 & 0xFF, base >> 16 & 0xFF, base >> 24}),
        5 * (progress_records + 1));
    const std::string done = "@E5" + bytes({0x03, 0xE8});
    run.outcome.returned = programmed.size() == 5 * (progress_records + 1) &&
                           programmed.compare(programmed.size() - 5, 5, done) == 0;
    if (!run.outcome.returned || !send(bootloader::kComplete) || !query())
        return;

    BootloaderReport marker = data_request(bootloader::kWrite, kValidMarkerAddress,
                                           kFirmwareTag.valid_marker, kValidMarkerSize);
    BootloaderReply reply{};
    if (!exchange(marker, nullptr) || !send(bootloader::kComplete))
        return;
    marker[1] = bootloader::kReadBack;
    if (!exchange(marker, &reply) || !std::equal(reply.begin(), reply.end(), marker.begin() + 1) ||
        !query())
        return;
    run.outcome.success = true;
    // The device leaves the bus with the restart; whether the report arrived does not matter.
    send(bootloader::kRestart);
}

// The program's connection to the server once the device is back: closed after its farewell,
// or still carrying commands to the device. Empty when it is one of them.
inline std::string relay_link_problem(Run& run) {
    RelayServer& server = *run.server;
    if (!server.session.connected()) {
        server.heard += server.peer.take();
        if (!server.peer.closed_by_program(100))
            return "the program forgot the connection to the server without closing it";
        if (server.heard.size() < 2 || server.heard.compare(server.heard.size() - 2, 2, "@!") != 0)
            return "the program closed the connection to the server without its farewell";
        return {};
    }
    if (server.ask(run, "@H", 2) != "@1")
        return "the connection to the server is open but no longer reaches the device";
    return {};
}

// The server decides how long it waits; the program's part is a relay step per command, of
// which the longest waits for one bootloader reply.
constexpr int kRelayedStallLimitMs = kBootloaderReplyTimeoutMs + 2000;

inline std::vector<Operation> relayed_operations() {
    return {
        {"relayed_read",
         Start::application,
         false,
         [](Run& run) {
             sim::set_memory(kConfigBlockAddress, kUsedBlock);
             relay_log_in(run);
         },
         relayed_read,
         {},
         kRelayedStallLimitMs},
        {"relayed_flash",
         Start::application,
         true,
         relay_log_in,
         relayed_flash,
         {},
         kRelayedStallLimitMs},
    };
}

}  // namespace sweep
