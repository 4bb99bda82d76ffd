// The configuration history on disk: entries as .cfg files, the bound, and what a crash or a
// damaged file leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/cfg_file.h"
#include "config/config_history.h"
#include "device/identification.h"
#include "platform/data_folder.h"
#include "platform/files.h"
#include "support/test_system.h"

namespace {

class ConfigHistoryTest : public ::testing::Test {
   protected:
    void TearDown() override { std::filesystem::remove_all(folder_); }

    static ConfigHistoryEntry entry_with_level(int32_t level) {
        ConfigHistoryEntry entry = describe_held_block(kDefaultConfigBlock, {718, 0, 22});
        entry.record.can_level = level;
        return entry;
    }
    std::string file(const std::string& name) const { return data_path(folder_, name); }

    const std::string folder_ = make_temp_folder("qn718-history-");
};

TEST_F(ConfigHistoryTest, AnEntryDescribesTheBlockAndReadsBackAsItself) {
    const ConfigHistoryEntry entry = describe_held_block(kDefaultConfigBlock, {718, 0, 22});
    EXPECT_EQ(entry.vehicle, "Volkswagen Golf V 1K");
    EXPECT_EQ(entry.time.size(), 19u);
    const std::string text = history_entry_text(entry);
    EXPECT_EQ(text.substr(text.find("device=")),
              "device=718\r\nfirmware=0022\r\nvehicle=Volkswagen Golf V 1K\r\n" +
                  encode_cfg(entry.record));
    const auto parsed = parse_history_entry(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(encode_config_record(parsed->record), kDefaultConfigBlock);

    // Any description or record line missing or not a number: not an entry.
    for (const char* key :
         {"time=", "device=", "firmware=", "canlevel=", "carnumber=", "prog_output="}) {
        std::string damaged = text;
        damaged.replace(damaged.find(key), std::string(key).size(), "x=");
        EXPECT_FALSE(parse_history_entry(damaged)) << key;
    }
    std::string bad_number = text;
    bad_number.replace(bad_number.find("von_speed=2"), 11, "von_speed=-2");
    EXPECT_FALSE(parse_history_entry(bad_number));
}

TEST_F(ConfigHistoryTest, TheOldestGoBeyondTheBoundAndNeitherLeftoversNorDamageStopTheList) {
    // A full history from earlier runs, one entry damaged, and the temporary file of a write
    // that a crash cut off before its rename.
    for (size_t number = 1; number <= kHistoryMaxEntries; ++number) {
        const std::string digits = std::to_string(number);
        const std::string name = "entry-" + std::string(6 - digits.size(), '0') + digits + ".cfg";
        ASSERT_TRUE(write_whole_file(file(name), history_entry_text(entry_with_level(1))));
    }
    ASSERT_TRUE(write_whole_file(file("entry-000500.cfg"), "canlevel=3\r\n"));
    ASSERT_TRUE(write_whole_file(file("entry-001001.cfg.tmp"), "time=2026-01-01 00:00:00\r\n"));
    ASSERT_TRUE(write_whole_file(file("notes.txt"), "not ours"));

    ConfigHistoryListing listing = list_history(folder_);
    EXPECT_EQ(listing.entries.size(), kHistoryMaxEntries - 1);
    EXPECT_EQ(listing.skipped, std::vector<std::string>{file("entry-000500.cfg")});
    EXPECT_EQ(listing.entries.front().number, kHistoryMaxEntries);

    ASSERT_TRUE(keep_history_entry(folder_, entry_with_level(77)));
    listing = list_history(folder_);
    EXPECT_EQ(listing.entries.size() + listing.skipped.size(), kHistoryMaxEntries);
    EXPECT_EQ(listing.entries.front().number, kHistoryMaxEntries + 1);
    EXPECT_EQ(listing.entries.front().record.can_level, 77);
    EXPECT_EQ(listing.entries.back().number, 2u) << "entry 1 dropped";
    EXPECT_FALSE(std::filesystem::exists(file("entry-001001.cfg.tmp")));
    EXPECT_TRUE(std::filesystem::exists(file("notes.txt")));

    // No folder to keep it in: refused, never thrown away silently.
    EXPECT_FALSE(keep_history_entry(file("notes.txt") + "/history", entry_with_level(1)));
    EXPECT_FALSE(keep_history_entry("", entry_with_level(1)));
}

}  // namespace
