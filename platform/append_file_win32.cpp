#include "platform/append_file.h"

#include "platform/utf16_win32.h"

std::FILE* open_append_file(const std::string& path) {
    // The narrow fopen would pass the name through the ANSI code page: a name outside it
    // opens another file or none.
    return _wfopen(to_utf16(path).c_str(), L"ab");
}
