// A file written part by part, for downloads too large to hold in memory.
#pragma once

#include <cstddef>
#include <string>

class OutputFile {
   public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates or truncates the file, readable and writable by its owner only.
    bool create(const std::string& path);
    // False unless every byte was written.
    bool write(const char* data, size_t size);
    // False when data still buffered by the system could not be written.
    bool close();

   private:
    int fd_ = -1;
};
