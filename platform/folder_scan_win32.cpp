#include "platform/folder_scan.h"

#include "platform/utf16_win32.h"

namespace {

constexpr uint64_t kSecondsFrom1601To1970 = 11644473600ULL;

uint64_t from_file_time(const FILETIME& time) {
    return static_cast<uint64_t>(time.dwHighDateTime) << 32 | time.dwLowDateTime;
}

}  // namespace

uint64_t file_time_from_unix(int64_t seconds, int64_t nanoseconds) {
    const int64_t since_1601 = seconds + static_cast<int64_t>(kSecondsFrom1601To1970);
    if (since_1601 < 0)
        return 0;
    return static_cast<uint64_t>(since_1601) * 10000000ULL +
           static_cast<uint64_t>(nanoseconds / 100);
}

std::vector<FolderEntry> list_folder_files(const std::string& folder, const std::string& suffix) {
    std::vector<FolderEntry> entries;
    // The system matches the pattern without regard to case, as the header promises.
    const std::wstring wide_suffix = to_utf16(suffix);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(to_utf16(folder + "\\*" + suffix).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return entries;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        // "*.bin" also matches the short 8.3 alias of "x.binary"; only a true ending counts.
        const size_t length = wcslen(found.cFileName);
        if (length < wide_suffix.size() ||
            CompareStringOrdinal(found.cFileName + length - wide_suffix.size(), -1,
                                 wide_suffix.c_str(), -1, TRUE) != CSTR_EQUAL)
            continue;
        entries.push_back(
            {folder + "\\" + to_utf8(found.cFileName), from_file_time(found.ftLastWriteTime)});
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return entries;
}

uint64_t file_time_now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return from_file_time(now);
}
