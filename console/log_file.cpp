#include "console/log_file.h"

#include "platform/append_file.h"

bool LogFile::open(const std::string& path) {
    close();
    // Append mode never truncates and puts every write at the end, even when another program
    // has added to the file meanwhile.
    file_ = open_append_file(path);
    if (!file_)
        return false;
    // Unbuffered, so that a viewer following the file sees each line as it comes and a crash
    // loses nothing already recorded.
    std::setvbuf(file_, nullptr, _IONBF, 0);
    return true;
}

void LogFile::close() {
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

void LogFile::write(std::string_view text) {
    if (file_ && !text.empty())
        std::fwrite(text.data(), 1, text.size(), file_);
}
