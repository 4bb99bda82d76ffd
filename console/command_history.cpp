#include "console/command_history.h"

#include "console/text_cut.h"

namespace {

constexpr size_t kCommandBytes = 3;
constexpr size_t kDataBytes = 99;

HistoryEntry make_entry(std::string_view command_field, std::string_view data_field) {
    return {cut_utf8(command_field, kCommandBytes), cut_utf8(data_field, kDataBytes)};
}

int wrap(int index) {
    return (index + CommandHistory::kEntries) % CommandHistory::kEntries;
}

}  // namespace

void CommandHistory::record(std::string_view command_field, std::string_view data_field) {
    HistoryEntry entry = make_entry(command_field, data_field);
    const HistoryEntry& newest = entries_[static_cast<size_t>(write_index_)];
    if (entry.command == newest.command && entry.data == newest.data)
        return;
    write_index_ = wrap(write_index_ + 1);
    browse_index_ = write_index_;
    entries_[static_cast<size_t>(write_index_)] = std::move(entry);
}

const HistoryEntry& CommandHistory::browse(bool back, std::string_view command_field,
                                           std::string_view data_field) {
    entries_[static_cast<size_t>(browse_index_)] = make_entry(command_field, data_field);
    browse_index_ = wrap(browse_index_ + (back ? -1 : 1));
    return entries_[static_cast<size_t>(browse_index_)];
}
