// The firmware file check, the image buffer and the folder watch's rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <tuple>

#include "firmware/autoflash.h"
#include "firmware/bootloader_protocol.h"
#include "firmware/firmware_image.h"
#include "firmware/flasher.h"
#include "platform/folder_scan.h"
#include "support/test_system.h"
#include "unit/firmware_files.h"

namespace {

FirmwareFileCheck check(const std::string& file) {
    return check_firmware_file(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

TEST(FirmwareImage, FileChecks) {
    uint16_t crc = 0;
    for (char c : std::string("123456789"))
        crc = crc16_update(crc, static_cast<uint8_t>(c));
    EXPECT_EQ(crc, 0xBB3D);

    const std::string good = make_firmware_file(9984);  // 10,000 bytes
    std::string swapped = good, wrong_tag = good, flipped = good;
    std::swap(swapped[14], swapped[15]);  // high byte first is not the stored order
    wrong_tag[5] = '_';                   // the trailing blank belongs to the tag
    flipped[5000] ^= 0x01;
    const std::pair<std::string, FirmwareFileCheck> cases[] = {
        {good, FirmwareFileCheck::good},
        {make_firmware_file(9983), FirmwareFileCheck::too_short},
        {"", FirmwareFileCheck::too_short},
        {wrong_tag, FirmwareFileCheck::wrong_tag},
        {flipped, FirmwareFileCheck::wrong_check_value},
        {swapped, FirmwareFileCheck::wrong_check_value},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(check(cases[i].first), cases[i].second) << i;
}

TEST(FirmwareImage, LongFileIsCutAndAShorterOneClearsWhatItLeft) {
    std::string file = make_firmware_file(kFirmwareBufferSize - kFirmwareHeaderSize);
    file.append(100, '\x5A');  // beyond the cut: neither checked nor kept
    FirmwareImage image;
    EXPECT_EQ(load_firmware_image(image, file), FirmwareFileCheck::good);
    EXPECT_EQ(image.image_length, 525296);

    ASSERT_EQ(load_firmware_image(image, make_firmware_file(9984)), FirmwareFileCheck::good);
    EXPECT_EQ(image.image_length, 9984);
    for (size_t i = 16 + 9984; i < 16 + 9984 + 56; ++i)
        ASSERT_EQ(image.bytes[i], 0) << i;
}

// 499,688 bytes are 8,923 whole blocks ending at the marker; 499,711 end below the last
// address, but their last block would not. Below the application area lies the bootloader.
TEST(FirmwareImage, ImageMustLieBetweenTheApplicationStartAndTheValidMarker) {
    const std::tuple<uint32_t, int32_t, bool> cases[] = {
        {0x1D006000, 499688, true}, {0x1D006000, 499689, false}, {0x1D006000, 499711, false},
        {0x1D007000, 495600, true}, {0x1D007000, 495601, false}, {0x1D080000, 10000, false},
        {0xFFFFFF00, 10000, false}, {0x1D005FFF, 56, false},     {0x1D000000, 10000, false},
        {0x00000000, 0, false},     {0x1D07FFC0, 56, true},      {0x1D07FFC1, 56, false},
    };
    for (const auto& [start, length, fits] : cases)
        EXPECT_EQ(image_fits(start, length), fits)
            << std::hex << start << std::dec << " " << length;
}

// A folder whose files and clock the test sets.
class FakeFolder : public WatchedFolder {
   public:
    std::map<std::string, uint64_t> files;
    uint64_t time = 0;
    std::vector<FolderEntry> bin_files(const std::string& folder) override {
        EXPECT_EQ(folder, "watch");
        std::vector<FolderEntry> entries;
        for (const auto& [name, written] : files)
            entries.push_back({name, written});
        return entries;
    }
    uint64_t now() override { return time; }
};

constexpr uint64_t kSecond = 10000000;

class AutoflashTest : public ::testing::Test {
   protected:
    AutoflashWatch watch{"watch", 0, {}};
    FakeFolder folder;
    std::vector<std::string> flashed;
    FlashResult answer = FlashResult::programmed;

    AutoflashStep step() {
        return autoflash_step(watch, folder, [this](const std::string& file) {
            flashed.push_back(file);
            return answer;
        });
    }
};

TEST_F(AutoflashTest, FilesPresentAtTheFirstScanAreNeverFlashedANewOneOnceAfterSettling) {
    folder.time = 1000 * kSecond;
    folder.files = {{"a.bin", 900 * kSecond}, {"b.bin", 950 * kSecond}};
    EXPECT_EQ(step(), AutoflashStep::first_scan);
    EXPECT_EQ(step(), AutoflashStep::nothing_new);

    folder.files["c.bin"] = 1000 * kSecond;
    folder.time += 3 * kSecond - 1;  // 29,999,999 units old
    EXPECT_EQ(step(), AutoflashStep::settling);
    EXPECT_TRUE(flashed.empty());
    folder.time += 1;
    EXPECT_EQ(step(), AutoflashStep::flashed);
    EXPECT_EQ(step(), AutoflashStep::nothing_new);
    EXPECT_EQ(flashed, std::vector<std::string>{"c.bin"});

    folder.files["old_copy.bin"] = 999 * kSecond;  // older than the newest seen
    EXPECT_EQ(step(), AutoflashStep::nothing_new);
}

TEST_F(AutoflashTest, AfterAnEmptyFolderANewFileIsFlashedAndAnUnusableOneTriedUntilGood) {
    folder.time = 1000 * kSecond;
    EXPECT_EQ(step(), AutoflashStep::nothing_new) << "an empty folder is no first scan";
    folder.files["a.bin"] = 900 * kSecond;
    answer = FlashResult::file_unusable;
    EXPECT_EQ(step(), AutoflashStep::retry);
    EXPECT_EQ(step(), AutoflashStep::retry);
    answer = FlashResult::write_error;
    EXPECT_EQ(step(), AutoflashStep::flashed) << "a failed flashing is finished with too";
    EXPECT_EQ(step(), AutoflashStep::nothing_new);
    EXPECT_EQ(flashed.size(), 3u);
    answer = FlashResult::programmed;
    folder.files["b.bin"] = 2000 * kSecond;  // a time in the future counts as settled
    EXPECT_EQ(step(), AutoflashStep::flashed);
}

// A file that would not open (still held by the program copying it, no read permission) is
// reported once, not on every pass; it is opened again when its time stamp moves on, and the
// watch goes on meanwhile.
TEST_F(AutoflashTest, AFileThatWillNotOpenIsTriedOncePerTimeStamp) {
    folder.time = 1000 * kSecond;
    EXPECT_EQ(step(), AutoflashStep::nothing_new);
    folder.files["locked.bin"] = 900 * kSecond;
    answer = FlashResult::file_unreadable;
    EXPECT_EQ(step(), AutoflashStep::unreadable);
    for (int pass = 0; pass < 5; ++pass)
        EXPECT_EQ(step(), AutoflashStep::nothing_new);
    EXPECT_EQ(flashed.size(), 1u);

    folder.files["locked.bin"] = 990 * kSecond;  // the copy went on
    EXPECT_EQ(step(), AutoflashStep::unreadable);
    EXPECT_EQ(step(), AutoflashStep::nothing_new);
    answer = FlashResult::programmed;
    folder.files["locked.bin"] = 995 * kSecond;  // and finished
    EXPECT_EQ(step(), AutoflashStep::flashed);
    folder.files["next.bin"] = 996 * kSecond;
    EXPECT_EQ(step(), AutoflashStep::flashed);
    EXPECT_EQ(flashed,
              (std::vector<std::string>{"locked.bin", "locked.bin", "locked.bin", "next.bin"}));
}

TEST(FolderScan, BinFilesOfAnyCaseWithWindowsFileTimes) {
    // Names outside ASCII: a user's watch folder often carries the user's own name.
    const std::string folder = make_temp_folder("qn718-scan-\u017dlu\u0165-");
    ASSERT_FALSE(folder.empty());
    write_firmware_file(folder, "a.bin", "x");
    write_firmware_file(folder, "B.BIN", "x");
    write_firmware_file(folder, "c.txt", "x");
    write_firmware_file(folder, "\u0159\u00ed\u0161e.Bin", "x");
    std::filesystem::create_directory(std::filesystem::u8path(folder + "/d.bin"));
    ASSERT_TRUE(set_last_write_time(folder + "/a.bin", 1577836800, 500));  // 2020-01-01 UTC

    // Keyed by name: the separator is the system's own.
    std::map<std::string, uint64_t> found;
    for (const FolderEntry& entry : list_folder_files(folder, ".bin")) {
        ASSERT_EQ(entry.path.compare(0, folder.size(), folder), 0) << entry.path;
        found[entry.path.substr(folder.size() + 1)] = entry.last_write_time;
    }
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found["a.bin"], 132223104000000005ULL);
    EXPECT_TRUE(found.count("\u0159\u00ed\u0161e.Bin"));
    EXPECT_GT(found["B.BIN"], 132223104000000005ULL);
    EXPECT_LE(found["B.BIN"], file_time_now());
    EXPECT_TRUE(list_folder_files(folder + "/missing", ".bin").empty());
    std::filesystem::remove_all(std::filesystem::u8path(folder));
}

}  // namespace
