#include "platform/folder_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cctype>
#include <ctime>

namespace {

constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ULL;

bool ends_with_ignoring_case(const std::string& name, const std::string& suffix) {
    if (name.size() < suffix.size())
        return false;
    const size_t start = name.size() - suffix.size();
    for (size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[start + i])) !=
            std::tolower(static_cast<unsigned char>(suffix[i])))
            return false;
    }
    return true;
}

// Closes the folder on every way out.
class Folder {
   public:
    explicit Folder(const std::string& path) : dir_(::opendir(path.c_str())) {}
    ~Folder() {
        if (dir_)
            ::closedir(dir_);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    DIR* get() const { return dir_; }

   private:
    DIR* dir_;
};

}  // namespace

uint64_t file_time_from_unix(int64_t seconds, int64_t nanoseconds) {
    // Times before 1601 do not occur on a file; clamp rather than wrap.
    const int64_t since_1601 = seconds + static_cast<int64_t>(kSecondsFrom1601To1970);
    if (since_1601 < 0)
        return 0;
    return static_cast<uint64_t>(since_1601) * 10000000ULL +
           static_cast<uint64_t>(nanoseconds / 100);
}

std::vector<FolderEntry> list_folder_files(const std::string& folder, const std::string& suffix) {
    std::vector<FolderEntry> entries;
    Folder dir(folder);
    if (!dir.get())
        return entries;
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!ends_with_ignoring_case(name, suffix))
            continue;
        const std::string path = folder + "/" + name;
        struct stat info;
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            continue;
        entries.push_back({path, file_time_from_unix(info.st_mtim.tv_sec, info.st_mtim.tv_nsec)});
    }
    return entries;
}

uint64_t file_time_now() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return file_time_from_unix(now.tv_sec, now.tv_nsec);
}
