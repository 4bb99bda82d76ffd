// Device replies waiting for the remote-access server to fetch them, as "@R" records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

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
    bool holds_records() const { return size_ != 0; }
    size_t byte_count() const { return size_; }
    // The records in the order they came; the queue is then empty.
    std::vector<uint8_t> take_records();
    void clear() { size_ = 0; }

   private:
    std::array<uint8_t, kCapacity> bytes_{};
    size_t size_ = 0;
};
