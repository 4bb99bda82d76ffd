// The console's log file: a text file that receives the traffic as it is recorded.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

class LogFile {
   public:
    LogFile() = default;
    ~LogFile() { close(); }
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Opens for appending, creating the file when it is missing; earlier content always stays.
    // Other programs may read the file while it is open. False when it cannot be opened.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return file_ != nullptr; }
    // Unchecked: a failing write loses that text and nothing else.
    void write(std::string_view text);

   private:
    std::FILE* file_ = nullptr;
};
