#include "platform/files.h"

#include <algorithm>

#include "platform/utf16_win32.h"

bool read_whole_file(const std::string& path, size_t max_bytes, std::string& out) {
    out.clear();
    ScopedHandle file(CreateFileW(to_utf16(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    out.resize(max_bytes);
    size_t total = 0;
    while (total < max_bytes) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(max_bytes - total, 1 << 20));
        DWORD got = 0;
        if (!ReadFile(file.get(), &out[total], chunk, &got, nullptr) || got == 0)
            break;
        total += got;
    }
    out.resize(total);
    return true;
}

bool write_whole_file(const std::string& path, const std::string& data) {
    ScopedHandle file(CreateFileW(to_utf16(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    size_t total = 0;
    while (total < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - total, 1 << 20));
        DWORD put = 0;
        if (!WriteFile(file.get(), data.data() + total, chunk, &put, nullptr) || put == 0)
            return false;
        total += put;
    }
    return file.close();
}

bool replace_file(const std::string& from, const std::string& to) {
    return MoveFileExW(to_utf16(from).c_str(), to_utf16(to).c_str(), MOVEFILE_REPLACE_EXISTING) !=
           0;
}

bool remove_file(const std::string& path) {
    return DeleteFileW(to_utf16(path).c_str()) != 0;
}
