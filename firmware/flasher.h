// Replacing the device's firmware: the file, the switch into the bootloader, erase, block
// writes with read-back, the application-valid marker and the restart.
#pragma once

#include <optional>
#include <string>

#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"

class DeviceLink;

enum class FlashMode {
    from_bootloader,   // the device already waits in its bootloader; the link is closed
    automatic,         // the AUTOFLASH watch: a given file, bad files pass in silence
    from_application,  // a running device is switched into its bootloader first
};

enum class FlashResult {
    nothing_done,           // no device (menu item), or the user cancelled the chooser
    file_unusable,          // automatic mode only: nothing sent, try the same file later
    file_unreadable,        // automatic mode only: the file would not open (reported); nothing sent
    file_corrupted,         // wrong tag or check value (interactive modes)
    write_error,            // no bootloader, or any failed exchange with it
    firmware_too_large,     // the image would reach the marker or beyond: nothing erased
    hardware_incompatible,  // the bootloader reports another hardware type: nothing erased
    programmed,
    link_busy,  // another exchange holds the link: nothing chosen or sent, try again later
};

// Why a chosen file is refused before anything is sent; the chooser then opens again.
enum class FileProblem {
    cannot_open,  // reported in every mode
    too_short,    // reported in the interactive modes only
};

// What the window layer does for the flasher while it runs.
class FlashHost {
   public:
    virtual ~FlashHost() = default;
    // The firmware file the user picks; empty when the choice was cancelled.
    virtual std::string choose_file() = 0;
    virtual void file_rejected(FileProblem problem, const std::string& path) = 0;
    // Before the device is touched: the status label is emptied and the side windows close.
    virtual void prepare() = 0;
    virtual void open_progress() = 0;
    virtual void set_progress_text(const std::string& text) = 0;
    virtual void set_progress_fraction(double fraction) = 0;
    virtual void set_progress_label(const std::string& text) = 0;
    // The version and info labels describe firmware that the erase removes.
    virtual void clear_firmware_labels() = 0;
    virtual void process_events() = 0;
    // The language of the progress texts (an index of LanguageList).
    virtual int language() const = 0;
};

// One whole attempt. automatic_file is the file of the automatic mode. The waits go through
// link.pause(); from the switch on, the link holds no device, and afterwards it is left closed
// so that the next search finds the device afresh.
// The pauses of a flash, the same over USB and through the relay.
constexpr int kEventPauseMs = 10;
constexpr int kFinalPauseMs = 20;
// The application needs a moment to leave the bus before the bootloader can be looked for.
constexpr int kReenumerationPauseMs = 500;
constexpr int kBootloaderSearchTries = 24;
constexpr int kBootloaderRetryPauseMs = 200;

// Pauses through the link, then lets the host serve its window.
void pause_and_serve(DeviceLink& link, FlashHost& host, int milliseconds);

// Shows programming progress in tenths of a percent: the bar, the percentage, and the window
// served once.
void show_flash_progress(FlashHost& host, int permille);

// The bootloader's answer to the first query, held to the image and shown on the progress
// window: empty when programming may go on, else why it may not. Both the USB flasher and the
// relayed one go through here.
std::optional<FlashResult> accept_bootloader_query(const BootloaderReply& reply,
                                                   int32_t image_length, FlashHost& host);

FlashResult flash_firmware(DeviceLink& link, FirmwareImage& image, FlashMode mode, FlashHost& host,
                           const std::string& automatic_file = {});
