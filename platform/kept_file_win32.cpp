#include "platform/kept_file.h"

#include <algorithm>

#include "platform/utf16_win32.h"

namespace {

bool write_all(HANDLE file, const std::string& data) {
    size_t total = 0;
    while (total < data.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - total, 1 << 20));
        DWORD put = 0;
        if (!WriteFile(file, data.data() + total, chunk, &put, nullptr) || put == 0)
            return false;
        total += put;
    }
    return true;
}

bool finish(ScopedHandle& file, const std::string& data) {
    return write_all(file.get(), data) && FlushFileBuffers(file.get()) && file.close();
}

bool is_folder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool make_folders(const std::string& folder) {
    if (folder.empty())
        return false;
    // Past a drive letter ("C:\") or a share's first two parts, each separator ends a folder.
    for (size_t at = folder.find_first_of("\\/", 3); at != std::string::npos;
         at = folder.find_first_of("\\/", at + 1))
        CreateDirectoryW(to_utf16(folder.substr(0, at)).c_str(), nullptr);
    CreateDirectoryW(to_utf16(folder).c_str(), nullptr);
    return is_folder(to_utf16(folder));
}

bool write_file_safely(const std::string& path, const std::string& temporary_path,
                       const std::string& data) {
    const std::wstring temporary = to_utf16(temporary_path);
    ScopedHandle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid())
        return false;
    if (!finish(file, data) || !MoveFileExW(temporary.c_str(), to_utf16(path).c_str(),
                                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool append_to_file(const std::string& path, const std::string& data) {
    ScopedHandle file(CreateFileW(to_utf16(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid() && finish(file, data);
}
