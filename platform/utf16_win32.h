// UTF-8 names in, UTF-16 to the wide-character API, and back: the narrow (ANSI) calls would
// mangle every character outside the user's code page.
#pragma once

#include <windows.h>

#include <string>

inline std::wstring to_utf16(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0],
                            length);
    return wide;
}

inline std::string to_utf8(const wchar_t* wide, size_t size) {
    if (size == 0)
        return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size), &utf8[0], length, nullptr,
                            nullptr);
    return utf8;
}

inline std::string to_utf8(const std::wstring& wide) {
    return to_utf8(wide.data(), wide.size());
}

// An environment variable as UTF-8; "" when unset.
inline std::string environment_utf8(const wchar_t* name) {
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0)
        return {};
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, &value[0], needed);
    return length < needed ? to_utf8(value.data(), length) : std::string();
}

// Closes a handle on every way out.
class ScopedHandle {
   public:
    explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
    ~ScopedHandle() { close(); }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    bool close() {
        if (!valid())
            return true;
        const bool ok = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

   private:
    HANDLE handle_;
};
