#include "remote/relay_flasher.h"

#include <cstdio>
#include <cstring>

#include "app/language.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "firmware/bootloader_protocol.h"
#include "remote/relay_client.h"

namespace {

class RemoteBootloader {
   public:
    explicit RemoteBootloader(RelayClient& relay) : relay_(relay) {}

    bool send(const BootloaderReport& request) {
        return relay_.raw_write(request.data(), request.size());
    }
    bool send_all(std::initializer_list<BootloaderReport> requests) {
        for (const BootloaderReport& request : requests) {
            if (!send(request))
                return false;
        }
        return true;
    }
    // The program waits one reply time for each read; a longer wait (the erase) reads again.
    bool read(BootloaderReply& reply, int timeout_ms) {
        for (int waited = 0; waited < timeout_ms; waited += kBootloaderReplyTimeoutMs) {
            const int got = relay_.raw_read(reply.data(), reply.size());
            if (got == static_cast<int>(reply.size()))
                return true;
            if (got != 0)
                return false;
        }
        return false;
    }
    bool query(const BootloaderReply& first, int timeout_ms = kBootloaderReplyTimeoutMs) {
        BootloaderReply reply{};
        return send(bootloader_request(bootloader::kQuery)) && read(reply, timeout_ms) &&
               query_reply_expected(reply) &&
               std::memcmp(reply.data(), first.data(), sizeof(kExpectedQueryPrefix)) == 0;
    }

   private:
    RelayClient& relay_;
};

bool wait_for_bootloader(DeviceLink& link) {
    link.pause(kReenumerationPauseMs);
    for (int attempt = 0; attempt < kBootloaderSearchTries; ++attempt) {
        if (link.open() == OpenResult::bootloader)
            return true;
        link.close();
        link.pause(kBootloaderRetryPauseMs);
    }
    return false;
}

bool erase_application(RemoteBootloader& bootloader, const BootloaderReply& first) {
    BootloaderReport unlock = bootloader_request(bootloader::kUnlock);
    unlock[2] = 0x00;
    return bootloader.send_all({bootloader_request(bootloader::kComplete), unlock, unlock,
                                bootloader_request(bootloader::kErase)}) &&
           bootloader.query(first, kBootloaderEraseTimeoutMs);
}

bool finish_and_mark(RemoteBootloader& bootloader, const BootloaderReply& first) {
    const BootloaderReport complete = bootloader_request(bootloader::kComplete);
    if (!bootloader.send(complete) || !bootloader.query(first))
        return false;
    BootloaderReport marker = data_request(bootloader::kWrite, kValidMarkerAddress,
                                           kFirmwareTag.valid_marker, kValidMarkerSize);
    if (!bootloader.send_all({marker, complete}))
        return false;
    marker[1] = bootloader::kReadBack;
    BootloaderReply reply{};
    if (!bootloader.send(marker) || !bootloader.read(reply, kBootloaderReplyTimeoutMs) ||
        std::memcmp(reply.data(), marker.data() + 1, reply.size()) != 0)
        return false;
    return bootloader.query(first);
}

bool write_image(RelayClient& relay, uint32_t start_address, DeviceLink& link, FlashHost& host) {
    int shown = -1;
    const bool finished = relay.program(start_address, [&](int permille) {
        if (permille == shown || permille >= 1000)
            return;
        shown = permille;
        show_flash_progress(host, permille);
    });
    if (!finished)
        return false;
    host.set_progress_text("100%");
    host.set_progress_fraction(1.0);
    pause_and_serve(link, host, kFinalPauseMs);
    return true;
}

FlashResult program_bootloader(RelayClient& relay, DeviceLink& link, int32_t image_length,
                               FlashHost& host) {
    RemoteBootloader bootloader(relay);
    BootloaderReply first{};
    if (!relay.blocking_reads() || !bootloader.send(bootloader_request(bootloader::kQuery)) ||
        !bootloader.read(first, kBootloaderReplyTimeoutMs))
        return FlashResult::write_error;
    if (const auto refused = accept_bootloader_query(first, image_length, host))
        return *refused;
    pause_and_serve(link, host, kEventPauseMs);
    if (!erase_application(bootloader, first) ||
        !write_image(relay, decode_query_reply(first).start_address, link, host) ||
        !finish_and_mark(bootloader, first))
        return FlashResult::write_error;
    // The device leaves the bus with the restart; whether the report arrived does not matter.
    bootloader.send(bootloader_request(bootloader::kRestart));
    return FlashResult::programmed;
}

}  // namespace

FlashResult flash_over_relay(DeviceLink& link, RelayClient& relay, const FirmwareImage& image,
                             bool from_bootloader, FlashHost& host) {
    const auto exchange = link.begin_exchange();
    if (!exchange)
        return FlashResult::link_busy;
    // The program writes whole blocks from its own buffer, which "@E0" does not clear: the
    // image goes up padded with the zeros a local flash writes after its end.
    const int32_t padded = static_cast<int32_t>((image.image_length + kFlashBlockSize - 1) /
                                                kFlashBlockSize * kFlashBlockSize);
    // The program refuses, and ends the session for, an upload that does not fit the
    // application area; the device must not be switched for it either.
    if (!image_fits(kExpectedStartAddress, padded))
        return FlashResult::firmware_too_large;

    host.prepare();
    host.open_progress();
    // Uploaded while the application still runs: a session lost here leaves it running.
    if (!relay.upload(image.image(), static_cast<size_t>(padded)))
        return FlashResult::write_error;
    if (!from_bootloader && link.is_open()) {
        link.drain();
        pause_and_serve(link, host, kEventPauseMs);
        host.set_progress_text(lang_text_in(host.language(), Text::switching_to_flash_mode));
        pause_and_serve(link, host, kEventPauseMs);
        link.send_command(command::kEnterBootloader);
    }
    link.close();
    if (!wait_for_bootloader(link))
        return FlashResult::write_error;
    link.close();
    return program_bootloader(relay, link, padded, host);
}
