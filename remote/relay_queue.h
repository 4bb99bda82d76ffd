// Device replies waiting for the remote-access server to fetch them, as "@R" records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct DeviceReply;

class RelayQueue {
   public:
    static constexpr size_t kCapacity = 32768;
    // "@", "R", the count and at most 255 bytes of one reply.
    static constexpr size_t kMaxRecord = 3 + 255;

    // Appends the reply (code, payload and checksum) as one record. False, and nothing is
    // kept, when the reply is too long for a one-byte count or the queue has no room left:
    // the server then fetches what came first, whole.
    bool append(const DeviceReply& reply);
    const uint8_t* data() const { return bytes_.data(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear() { size_ = 0; }

   private:
    std::array<uint8_t, kCapacity> bytes_{};
    size_t size_ = 0;
};
