#include "firmware/flasher.h"

#include <cstdio>
#include <cstring>

#include "app/language.h"
#include "device/command_codes.h"
#include "device/device_link.h"
#include "firmware/bootloader_protocol.h"
#include "platform/files.h"

namespace {

constexpr Text kSwitchingText = Text::switching_to_flash_mode;
constexpr Text kErasingText = Text::erasing_flash;

enum class FileOutcome { loaded, give_up, corrupted, retry_later, unreadable };

// Chooses (or takes) the file and loads it until one passes the size check; then the tag and
// check value decide once.
FileOutcome select_file(FirmwareImage& image, FlashMode mode, FlashHost& host,
                        const std::string& automatic_file) {
    const bool automatic = mode == FlashMode::automatic;
    for (;;) {
        const std::string path = automatic ? automatic_file : host.choose_file();
        if (path.empty())
            return automatic ? FileOutcome::retry_later : FileOutcome::give_up;
        std::string bytes;
        if (!read_whole_file(path, kFirmwareBufferSize, bytes)) {
            host.file_rejected(FileProblem::cannot_open, path);
            if (automatic)
                return FileOutcome::unreadable;
            continue;
        }
        if (bytes.empty()) {
            if (automatic)
                return FileOutcome::retry_later;
            continue;
        }
        const FirmwareFileCheck check = load_firmware_image(image, bytes);
        if (check == FirmwareFileCheck::too_short) {
            if (automatic)
                return FileOutcome::retry_later;
            host.file_rejected(FileProblem::too_short, path);
            continue;
        }
        if (check != FirmwareFileCheck::good)
            return automatic ? FileOutcome::retry_later : FileOutcome::corrupted;
        return FileOutcome::loaded;
    }
}

// The running application restarts into its bootloader, which enumerates as another device.
// The flasher owns the bootloader's port from then on; it closes on every way out.
HidPort wait_for_bootloader(DeviceLink& link) {
    link.pause(kReenumerationPauseMs);
    for (int attempt = 0; attempt < kBootloaderSearchTries; ++attempt) {
        if (link.open() == OpenResult::bootloader) {
            // The link must not hold the device: the main loop searches afresh afterwards.
            return link.release_port();
        }
        // The application itself, not yet gone: let it go rather than hold it meanwhile.
        link.close();
        link.pause(kBootloaderRetryPauseMs);
    }
    return HidPort();
}

bool send_all(HidPort& port, std::initializer_list<BootloaderReport> requests) {
    for (const BootloaderReport& request : requests) {
        if (!send_bootloader_request(port, request))
            return false;
    }
    return true;
}

bool erase_application(HidPort& port, const BootloaderReply& first) {
    BootloaderReport unlock = bootloader_request(bootloader::kUnlock);
    unlock[2] = 0x00;
    return send_all(port, {bootloader_request(bootloader::kComplete), unlock, unlock,
                           bootloader_request(bootloader::kErase)}) &&
           query_bootloader(port, first, kBootloaderEraseTimeoutMs);
}

bool write_image(HidPort& port, const FirmwareImage& image, uint32_t start_address,
                 DeviceLink& link, FlashHost& host) {
    int shown = -1;
    for (int32_t offset = 0; offset < image.image_length;
         offset += static_cast<int32_t>(kFlashBlockSize)) {
        // Redrawing for every block would cost more than the blocks themselves.
        const int permille = static_cast<int>(int64_t{offset} * 1000 / image.image_length);
        if (permille != shown) {
            shown = permille;
            show_flash_progress(host, permille);
        }
        if (!write_flash_block(port, image, offset, start_address))
            return false;
    }
    host.set_progress_text("100%");
    host.set_progress_fraction(1.0);
    pause_and_serve(link, host, kFinalPauseMs);
    return true;
}

bool finish_and_mark(HidPort& port, const BootloaderReply& first) {
    const BootloaderReport complete = bootloader_request(bootloader::kComplete);
    if (!send_bootloader_request(port, complete) || !query_bootloader(port, first))
        return false;
    BootloaderReport marker = data_request(bootloader::kWrite, kValidMarkerAddress,
                                           kFirmwareTag.valid_marker, kValidMarkerSize);
    if (!send_all(port, {marker, complete}))
        return false;
    marker[1] = bootloader::kReadBack;
    BootloaderReply reply{};
    if (!send_bootloader_request(port, marker) ||
        !read_bootloader_reply(port, reply, kBootloaderReplyTimeoutMs) ||
        std::memcmp(reply.data(), marker.data() + 1, reply.size()) != 0)
        return false;
    return query_bootloader(port, first);
}

FlashResult program_bootloader(HidPort& port, const FirmwareImage& image, DeviceLink& link,
                               FlashHost& host) {
    BootloaderReply reply{};
    // The first reply is taken as it comes; the queries after the erase are held to it.
    if (!send_bootloader_request(port, bootloader_request(bootloader::kQuery)) ||
        !read_bootloader_reply(port, reply, kBootloaderReplyTimeoutMs))
        return FlashResult::write_error;
    if (const auto refused = accept_bootloader_query(reply, image.image_length, host))
        return *refused;
    pause_and_serve(link, host, kEventPauseMs);
    if (!erase_application(port, reply) ||
        !write_image(port, image, decode_query_reply(reply).start_address, link, host) ||
        !finish_and_mark(port, reply))
        return FlashResult::write_error;

    // The device leaves the bus with the restart; whether the report arrived does not matter.
    send_bootloader_request(port, bootloader_request(bootloader::kRestart));
    return FlashResult::programmed;
}

}  // namespace

int flash_result_code(FlashResult result) {
    return result == FlashResult::file_unusable ? 0 : 1;
}

void pause_and_serve(DeviceLink& link, FlashHost& host, int milliseconds) {
    link.pause(milliseconds);
    host.process_events();
}

void show_flash_progress(FlashHost& host, int permille) {
    host.set_progress_fraction(permille / 1000.0);
    char text[16];
    std::snprintf(text, sizeof text, "%d%%", permille / 10);
    host.set_progress_text(text);
    host.process_events();
}

std::optional<FlashResult> accept_bootloader_query(const BootloaderReply& reply,
                                                   int32_t image_length, FlashHost& host) {
    const QueryReply query = decode_query_reply(reply);
    if (!image_fits(query.start_address, image_length))
        return FlashResult::firmware_too_large;
    char label[96];
    std::snprintf(label, sizeof label, "Firmware %s bootloader ver %d.%d",
                  kFirmwareTag.display_name, static_cast<int>(query.version >> 8 & 0xFFFFFF),
                  static_cast<int>(query.version & 0xFF));
    host.set_progress_label(label);
    if (query.hardware_type != kFirmwareTag.hardware_type)
        return FlashResult::hardware_incompatible;

    host.clear_firmware_labels();
    host.set_progress_text(lang_text_in(host.language(), kErasingText));
    return std::nullopt;
}

FlashResult flash_firmware(DeviceLink& link, FirmwareImage& image, FlashMode mode, FlashHost& host,
                           const std::string& automatic_file) {
    if (mode != FlashMode::from_bootloader && !link.is_open())
        return FlashResult::nothing_done;
    const auto exchange = link.begin_exchange();
    if (!exchange)
        return FlashResult::link_busy;
    switch (select_file(image, mode, host, automatic_file)) {
        case FileOutcome::loaded:
            break;
        case FileOutcome::give_up:
            return FlashResult::nothing_done;
        case FileOutcome::corrupted:
            return FlashResult::file_corrupted;
        case FileOutcome::retry_later:
            return FlashResult::file_unusable;
        case FileOutcome::unreadable:
            return FlashResult::file_unreadable;
    }

    host.prepare();
    if (link.is_open()) {
        link.drain();
        pause_and_serve(link, host, kEventPauseMs);
    }
    host.open_progress();
    if (mode != FlashMode::from_bootloader && link.is_open()) {
        host.set_progress_text(lang_text_in(host.language(), kSwitchingText));
        pause_and_serve(link, host, kEventPauseMs);
        link.send_command(command::kEnterBootloader);
    }
    // The application's handle dies with the restart; closed here, it cannot be used by mistake.
    link.close();

    HidPort port = wait_for_bootloader(link);
    if (!port.is_open())
        return FlashResult::write_error;
    return program_bootloader(port, image, link, host);
}
