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
    if (flash(watch.file) == 0) {
        watch.newest_file_time = previous;
        return AutoflashStep::retry;
    }
    return AutoflashStep::flashed;
}
