#include "firmware/autoflash.h"

std::vector<FolderEntry> PlatformFolder::bin_files(const std::string& folder) {
    return list_folder_files(folder, ".bin");
}

uint64_t PlatformFolder::now() {
    return file_time_now();
}

AutoflashStep autoflash_step(AutoflashWatch& watch, WatchedFolder& folder,
                             const AutoflashFlash& flash) {
    uint64_t previous = watch.newest_file_time;
    for (const FolderEntry& entry : folder.bin_files(watch.folder)) {
        if (entry.last_write_time > watch.newest_file_time) {
            watch.newest_file_time = entry.last_write_time;
            watch.file = entry.path;
        }
    }
    // An empty folder still counts as the first look, so a file that arrives later is new.
    if (watch.newest_file_time == 0) {
        watch.newest_file_time = 1;
        previous = 1;
    }
    if (watch.newest_file_time == previous)
        return AutoflashStep::nothing_new;
    if (previous == 0)
        return AutoflashStep::first_scan;
    // Unsigned on purpose: a time stamp in the future gives a huge age and counts as settled.
    const uint64_t age = folder.now() - watch.newest_file_time;
    if (age < kAutoflashSettleTime) {
        watch.newest_file_time = previous;
        return AutoflashStep::settling;
    }
    switch (flash(watch.file)) {
        case FlashResult::file_unusable:
        case FlashResult::link_busy:
            // Bad contents (or a link held by another exchange) pass in silence: the same file
            // is looked at on every pass until a good image replaces it.
            watch.newest_file_time = previous;
            return AutoflashStep::retry;
        case FlashResult::file_unreadable:
            // The flasher has said so once. Its time is kept as seen, so it is not opened again
            // (and the message not shown again) on every pass; a write that finishes the copy
            // or a new file moves the time on.
            return AutoflashStep::unreadable;
        default:
            return AutoflashStep::flashed;
    }
}
