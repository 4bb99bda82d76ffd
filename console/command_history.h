// The console's last 100 commands, browsed with Up and Down in its fields.
#pragma once

#include <array>
#include <string>
#include <string_view>

struct HistoryEntry {
    std::string command;  // at most 3 bytes of the command field
    std::string data;     // at most 99 bytes of the data field
};

class CommandHistory {
   public:
    static constexpr int kEntries = 100;

    // After a send: the fields become the newest entry, unless they repeat the newest entry.
    void record(std::string_view command_field, std::string_view data_field);
    // Up (back) or Down: what the fields hold now is kept in the entry being browsed, then
    // the neighbouring entry (wrapping from 0 to 99 and back) is the one to show.
    const HistoryEntry& browse(bool back, std::string_view command_field,
                               std::string_view data_field);

    const HistoryEntry& entry(int index) const { return entries_[static_cast<size_t>(index)]; }
    int write_index() const { return write_index_; }
    int browse_index() const { return browse_index_; }

   private:
    std::array<HistoryEntry, kEntries> entries_;
    int write_index_ = kEntries - 1;   // the entry stored last
    int browse_index_ = kEntries - 1;  // the entry last shown or stored
};
