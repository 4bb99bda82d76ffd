// The console's record of device traffic: every line sent or received since start, time-stamped,
// in a bounded store. The link hands device log lines and error dumps here; the console window
// shows the same record, and an open log file receives it as it comes, also while the window
// is closed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "console/log_file.h"
#include "platform/local_time.h"

enum class TrafficDirection { sent, received };

// "[2024.03.07 14:05:09]< ": the line's own text starts behind it.
constexpr size_t kTimeStampLength = 23;
std::string time_stamp(const LocalTime& when, TrafficDirection direction);

// The text of all recorded lines, in the form the log file gets: each line starts with its
// stamp and ends with CR LF, and a lone LF stands before every sent line.
class TrafficStore {
   public:
    static constexpr size_t kCapacity = 200000;  // bytes, a terminator's byte included
    static constexpr size_t kDropBytes = 100000;
    static constexpr size_t kGuaranteedRoom = 2048;

    struct Added {
        std::string text;        // what was recorded, whole, as the log file gets it
        bool shortened = false;  // the oldest lines went to make room
    };
    // Records source as sent or received text. Bytes are taken as 7-bit characters; a NUL
    // ends the text; LF ends a line, CR is dropped. Received text without a final LF leaves
    // the line open: the next received text continues it without a new stamp.
    Added add(TrafficDirection direction, std::string_view source, const LocalTime& now);

    const std::string& text() const { return text_; }
    // Empties the store; an open line stays open.
    void clear() {
        text_.clear();
        unlogged_size_ = 0;
    }
    bool at_line_start() const { return line_start_; }

    // The end of the record that no log file has had yet (all of it until a log starts); a log
    // file takes it when it starts, so that a log stopped and started again gets every line
    // once.
    std::string_view unlogged() const {
        return std::string_view(text_).substr(text_.size() - unlogged_size_);
    }
    void mark_logged() { unlogged_size_ = 0; }

   private:
    std::string format(TrafficDirection direction, std::string_view source, const LocalTime& now);
    bool make_room();

    std::string text_;
    size_t unlogged_size_ = 0;
    bool line_start_ = true;
};

// Where recorded traffic is shown: the console window while it is open.
class TrafficView {
   public:
    virtual ~TrafficView() = default;
    // New text at the end of the store.
    virtual void traffic_added(std::string_view text) = 0;
    // The store lost its oldest lines (the view must be built again from it).
    virtual void traffic_shortened() = 0;
};

// The program's record: the store, the log file while one is open and the view while one is set.
class TrafficLog {
   public:
    void set_view(TrafficView* view) { view_ = view; }

    // Records text as sent or received lines in the store, the log file and the view.
    void log(TrafficDirection direction, std::string_view text);

    // The whole record since start or the last clear.
    const std::string& text() const { return store_.text(); }
    void clear() { store_.clear(); }

    // The log file. Starting it appends every recorded line that no log file has had yet,
    // whatever the console's filter shows, in the store's form (CR LF line ends, as every later
    // line); everything recorded afterwards follows. The store and the view stay as they are.
    // False when the file cannot be opened (nothing changes then).
    bool start_file(const std::string& path);
    void stop_file() { log_file_.close(); }
    bool file_open() const { return log_file_.is_open(); }

   private:
    TrafficStore store_;
    LogFile log_file_;
    TrafficView* view_ = nullptr;
};
