#include "platform/program_file.h"

#include "platform/utf16_win32.h"

std::string own_program_file() {
    // Long paths exceed MAX_PATH; grow until the name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
            return to_utf8(path.data(), length);
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
}
