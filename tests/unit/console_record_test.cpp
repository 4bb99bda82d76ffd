// The console's record: line format, the bounded store, the tag filter, the command history
// and the escape parser.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/command_history.h"
#include "console/console_command.h"
#include "console/traffic_filter.h"
#include "console/traffic_log.h"

namespace {

constexpr LocalTime kWhen = {2024, 3, 7, 14, 5, 9};
const std::string kIn = "[2024.03.07 14:05:09]> ";
const std::string kOut = "[2024.03.07 14:05:09]< ";

std::string hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (uint8_t b : bytes)
        text += "0123456789ABCDEF"[b >> 4], text += "0123456789ABCDEF"[b & 15];
    return text;
}

TEST(TrafficStoreTest, LineFormat) {
    TrafficStore store;
    store.add(TrafficDirection::received, "abc", kWhen);
    store.add(TrafficDirection::received, "def\r\n", kWhen);
    EXPECT_EQ(store.text(), kIn + "abcdef\r\n") << "an open line continues without a stamp";
    store.add(TrafficDirection::sent, "\\x0a \\x01\n", kWhen);
    store.add(TrafficDirection::received, std::string("H\xE9llo\n\0tail", 12), kWhen);
    EXPECT_EQ(store.text(), kIn + "abcdef\r\n\n" + kOut + "\\x0a \\x01\r\n" + kIn + "Hillo\r\n")
        << "a lone LF before a sent line, 7-bit characters, a NUL ends the text";
}

// A store filled with lines of 100 bytes: the drop goes on to the end of the line that holds
// byte 100,000, so the store still begins with a stamp.
TEST(TrafficStoreTest, DropKeepsWholeLinesAndNeverOverruns) {
    for (const size_t line_length : {size_t{100}, size_t{97}}) {
        TrafficStore store;
        const std::string text(line_length - kTimeStampLength - 2, 'x');
        size_t lines = 0;
        bool shortened = false;
        while (!shortened) {
            shortened = store.add(TrafficDirection::received, text + "\n", kWhen).shortened;
            ++lines;
        }
        const size_t kept = lines - (TrafficStore::kDropBytes + line_length - 1) / line_length;
        EXPECT_EQ(store.text().size(), kept * line_length) << line_length;
        EXPECT_EQ(store.text().compare(0, kIn.size(), kIn), 0) << line_length;
        EXPECT_EQ(store.unlogged(), store.text()) << "never logged: all of what is left";
        store.mark_logged();
        store.add(TrafficDirection::received, "z\n", kWhen);
        EXPECT_EQ(store.unlogged(), kIn + "z\r\n") << "what came after the log had the rest";
    }
    TrafficStore store;  // one text far beyond the guaranteed room, and one endless line
    const auto added = store.add(TrafficDirection::received, std::string(9000, '\n'), kWhen);
    EXPECT_EQ(added.text.size(), 9000 * (kIn.size() + 2)) << "recorded whole";
    EXPECT_TRUE(added.shortened);
    store.add(TrafficDirection::received, std::string(150000, 'y'), kWhen);
    EXPECT_LT(store.text().size(), TrafficStore::kCapacity);
    EXPECT_EQ(store.text().back(), 'y');
}

TEST(TrafficFilterTest, TagRules) {
    TrafficFilter filter;
    filter.enabled = true;
    filter.slots[0] = "CAN";
    filter.slots[1] = "IO";  // not ticked
    filter.slot_mask = 1;
    struct Case {
        const char* text;
        bool passes;
    };
    for (const Case& c : {Case{"*CAN rx 12", true},
                          {"* CAN rx", true},
                          {"*CAN\r\n", true},
                          {"*CANX rx", false},
                          {"*can rx", false},
                          {"*IO on", false},
                          {"CAN rx", false},
                          {"", false}}) {
        EXPECT_EQ(line_passes_filter(kIn + c.text, filter), c.passes) << c.text;
    }
    filter.slots[0].clear();  // an empty ticked slot takes every tagged line
    EXPECT_TRUE(line_passes_filter(kIn + "*anything", filter));
    EXPECT_FALSE(line_passes_filter(kIn + "plain", filter));
    filter.show_untagged = true;
    EXPECT_TRUE(line_passes_filter(kIn + "plain", filter));
    EXPECT_TRUE(line_passes_filter("\n", filter)) << "the lone LF counts as untagged";
    filter.slot_mask = 0;
    EXPECT_FALSE(line_passes_filter(kIn + "*CAN", filter));
    filter.enabled = false;
    EXPECT_TRUE(line_passes_filter(kIn + "*CAN", filter));
}

TEST(TrafficFilterTest, RebuiltAndAddedText) {
    TrafficFilter filter;
    filter.enabled = true;
    filter.slots[0] = "CAN";
    filter.slot_mask = 1;
    const std::string text =
        "\n" + kOut + "\\x30 \r\n" + kIn + "*CAN a\r\n" + kIn + "b\r\n" + kIn + "*CAN c";
    EXPECT_EQ(filtered_traffic_text(text, filter), kIn + "*CAN a\r\n" + kIn + "*CAN c");
    EXPECT_EQ(visible_added_text(text, filter), kIn + "*CAN a\r" + kIn + "*CAN c")
        << "pieces between LFs, a CR ending each line";
    filter.enabled = false;
    EXPECT_EQ(filtered_traffic_text(text, filter), text);
}

TEST(CommandHistoryTest, StoresDistinctCommandsAndBrowsesRound) {
    CommandHistory history;
    history.record("0a", "one");
    history.record("0b", "two");
    history.record("0b", "two");
    EXPECT_EQ(history.write_index(), 1) << "a repeated command is stored once";
    const HistoryEntry& back = history.browse(true, "0b", "two edited");
    EXPECT_EQ(back.command + " " + back.data, "0a one");
    EXPECT_EQ(history.entry(1).data, "two edited") << "the fields are kept where they were";
    const HistoryEntry& wrapped = history.browse(true, "0a", "one");
    EXPECT_EQ(history.browse_index(), 99);
    EXPECT_EQ(wrapped.command + wrapped.data, "") << "Up from entry 0 reaches 99, empty at first";
    EXPECT_EQ(history.browse(false, "", "").command, "0a") << "and Down wraps back to 0";
    history.record("0c12", std::string(120, 'd') + "\xC3\xA9");
    EXPECT_EQ(history.entry(2).command, "0c1");
    EXPECT_EQ(history.entry(2).data.size(), 99u);
}

TEST(ConsoleCommandTest, EscapesAndHexDigits) {
    const std::pair<const char*, const char*> cases[] = {
        {"\\x00\\x10", "0010"}, {"AB", "4142"},  {"\\\\", "5C"}, {"\\q", "71"},
        {"A\\x4", "41"},        {"A\\x", "41"},  {"A\\", "41"},  {"\\X0a", "0A"},
        {"\\xG1", "F1"},        {"\\x1G", "FF"}, {"\\x", ""},    {"", ""},
    };
    for (const auto& [data, expected] : cases)
        EXPECT_EQ(hex(parse_console_data(data)), expected) << data;
    uint8_t out[4] = {};
    EXPECT_EQ(parse_hex_bytes(out, "0aF", 4), 1);
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(parse_hex_bytes(out, "1G", 4), -1);
    EXPECT_EQ(parse_hex_bytes(out, "010203", 2), 2);
}

TEST(ConsoleCommandTest, ResponseText) {
    DeviceReply reply;
    reply.bytes[1] = 1;
    const uint8_t payload[] = {0x48, 0x69, 0x07};
    std::copy(payload, payload + 3, reply.bytes + 2);
    reply.reply_length = 3 + 3;
    EXPECT_EQ(console_response_text(reply), "01 - 486907 - \"Hi?\"\n");
    reply.reply_length = 1000;  // more than both forms can show
    const std::string text = console_response_text(reply);
    EXPECT_LE(text.size(), kMaxResponseText);
    EXPECT_EQ(text.substr(text.size() - 2), "\"\n");
}

}  // namespace
