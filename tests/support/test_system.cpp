#include "support/test_system.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include "platform/utf16_win32.h"
#else
#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#endif

std::string make_temp_folder(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error)
        return {};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder =
            temp / std::filesystem::u8path(prefix + std::to_string(ticks) + "-" +
                                           std::to_string(counter++));
        if (std::filesystem::create_directory(folder, error))
            return folder.u8string();
    }
    return {};
}

#ifdef _WIN32

void set_environment(const char* name, const char* value) {
    // Both the system's block, which the program reads, and the C library's copy.
    SetEnvironmentVariableW(to_utf16(name).c_str(), value ? to_utf16(value).c_str() : nullptr);
    _wputenv_s(to_utf16(name).c_str(), value ? to_utf16(value).c_str() : L"");
}

bool set_last_write_time(const std::string& path, int64_t seconds, int64_t nanoseconds) {
    const uint64_t units = static_cast<uint64_t>(seconds + 11644473600LL) * 10000000ULL +
                           static_cast<uint64_t>(nanoseconds / 100);
    const FILETIME time{static_cast<DWORD>(units), static_cast<DWORD>(units >> 32)};
    ScopedHandle file(CreateFileW(to_utf16(path).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && SetFileTime(file.get(), nullptr, nullptr, &time);
}

bool valid_utf8(const char* text) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0) > 0;
}

#else

void set_environment(const char* name, const char* value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

bool set_last_write_time(const std::string& path, int64_t seconds, int64_t nanoseconds) {
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

bool valid_utf8(const char* text) {
    return g_utf8_validate(text, -1, nullptr);
}

#endif
