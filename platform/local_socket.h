// A client connection to a local stream socket (a Unix socket: a path in the file system),
// the way technicians reach the remote-access server. Every wait has a time limit.
#pragma once

#include <cstddef>
#include <string>

enum class LocalRead { data, timed_out, closed };

class LocalSocket {
   public:
    LocalSocket() = default;
    ~LocalSocket();
    LocalSocket(const LocalSocket&) = delete;
    LocalSocket& operator=(const LocalSocket&) = delete;

    // Connects; on failure false, and reason says why in the system's words ("No such file
    // or directory", "Connection refused", "Permission denied").
    bool connect(const std::string& path, std::string& reason);
    bool is_open() const { return fd_ >= 0; }
    // False unless every byte went out within the time limit (the connection is then closed).
    bool send_all(const char* data, size_t size, int timeout_ms);
    // Appends at most `most` bytes that arrive within timeout_ms.
    LocalRead receive(std::string& into, size_t most, int timeout_ms);
    void close();

   private:
    int fd_ = -1;
};
