#include "remote/relay_queue.h"

#include <cstring>

#include "device/device_link.h"

bool RelayQueue::append(const DeviceReply& reply) {
    const int count = reply.reply_length - 1;
    if (count < 1 || count > 255)
        return false;
    const size_t record = 3 + static_cast<size_t>(count);
    if (size_ + record > kCapacity)
        return false;
    bytes_[size_] = '@';
    bytes_[size_ + 1] = 'R';
    bytes_[size_ + 2] = static_cast<uint8_t>(count);
    std::memcpy(bytes_.data() + size_ + 3, reply.bytes + 1, static_cast<size_t>(count));
    size_ += record;
    return true;
}

std::vector<uint8_t> RelayQueue::take_records() {
    std::vector<uint8_t> records(bytes_.begin(),
                                 bytes_.begin() + static_cast<std::ptrdiff_t>(size_));
    size_ = 0;
    return records;
}
