// The AUTOFLASH folder watch: every new ".bin" file written to the folder is flashed once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "firmware/flasher.h"
#include "platform/folder_scan.h"

// Where the watch learns the time and what the folder holds; tests stand in a fake clock.
class WatchedFolder {
   public:
    virtual ~WatchedFolder() = default;
    virtual std::vector<FolderEntry> bin_files(const std::string& folder) = 0;
    virtual uint64_t now() = 0;  // file-time units
};

// The real folder and clock through the platform layer.
class PlatformFolder : public WatchedFolder {
   public:
    std::vector<FolderEntry> bin_files(const std::string& folder) override;
    uint64_t now() override;
};

// A file this young may still be being copied.
constexpr uint64_t kAutoflashSettleTime = 30000000;  // 3 s in 100 ns units

struct AutoflashWatch {
    std::string folder;             // empty: the watch is off
    uint64_t newest_file_time = 0;  // latest last-write time of any ".bin" file seen
    std::string file;               // the file with that time
};

enum class AutoflashStep {
    nothing_new,
    first_scan,  // files present at the first look are only recorded, never flashed
    settling,    // the newest file is younger than the settle time: looked at again later
    retry,       // the flasher could not use the file; tried again on the next passes
    unreadable,  // the file would not open; tried again once its time stamp changes
    flashed,     // the flasher took the file (whatever came of the flashing)
};

// One attempt of the flasher in its automatic mode on the file.
using AutoflashFlash = std::function<FlashResult(const std::string& file)>;

AutoflashStep autoflash_step(AutoflashWatch& watch, WatchedFolder& folder,
                             const AutoflashFlash& flash);
