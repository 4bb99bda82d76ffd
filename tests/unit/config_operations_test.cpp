#include <gtest/gtest.h>

#include <vector>

#include "config/config_block.h"
#include "config/config_operations.h"
#include "config_fake_page.h"
#include "device/link_compat.h"
#include "sim/sim_control.h"

namespace {

constexpr int kLoaded = 11, kLoadError = 12, kSaved = 17, kDefaultsLoaded = 19, kWriteError = 26,
              kBadLevel = 38, kRequestFailed = 81, kCalibrated = 104, kNoCanSpeed = 105;

class ConfigOperationsTest : public ::testing::Test {
   protected:
    void SetUp() override {
        close_device();
        sim::reset();
        ASSERT_EQ(open_device(), 1);
        sim::clear_received();
    }
    void TearDown() override { close_device(); }

    // Saves with a fresh message list; the function's result.
    int save(const char* level_text) {
        page.messages.clear();
        page.level = level_text;
        return save_configuration();
    }

    FakeConfigPage page;
};

std::vector<uint8_t> sent_codes() {
    std::vector<uint8_t> codes;
    for (const sim::ReceivedCommand& command : sim::received_commands())
        codes.push_back(command.code);
    return codes;
}

TEST_F(ConfigOperationsTest, SaveRefusesBadLevelsAndTakesEmptyAsZero) {
    config_reference().level = 9;
    for (const char* text : {"255", "256", "65536", "-1", "12a"}) {
        EXPECT_EQ(save(text), 0) << text;
        EXPECT_EQ(page.messages, std::vector<int>{kBadLevel}) << text;
    }
    EXPECT_EQ(config_reference().level, 9);
    EXPECT_TRUE(sim::received_commands().empty());

    sim::set_memory_byte(kConfigBlockAddress, 3);
    EXPECT_EQ(save(""), 1);
    EXPECT_EQ(sim::memory_byte(kConfigBlockAddress), 0);
    EXPECT_EQ(page.messages, std::vector<int>{kSaved});
}

TEST_F(ConfigOperationsTest, SaveWritesVerifiesStoresAndAsksForStatus) {
    page.selected_car = 1350;
    page.selection_level = 300;
    page.choices = {1, 2, 3, 4, 1, 2, 49, 2};
    page.save_marked = true;

    EXPECT_EQ(save("300"), 1);
    EXPECT_EQ(sent_codes(), (std::vector<uint8_t>{6, 5, 9, 2}));
    std::vector<uint8_t> block;
    for (int i = 0; i < kConfigRecordSize; ++i)
        block.push_back(sim::memory_byte(kConfigBlockAddress + i));
    EXPECT_EQ(block, (std::vector<uint8_t>{255, 1, 2, 3, 4, 1, 2, 49, 2, 0x05, 0x46, 0x01, 0x2B}));
    EXPECT_EQ(page.messages, std::vector<int>{kSaved});
    EXPECT_EQ(page.marks(), "");
    EXPECT_EQ(config_reference().level, 300);
    EXPECT_EQ(config_reference().choices[kSpeedometerScale], 49);

    sim::set_status_sequence("0");
    EXPECT_EQ(save("3"), 1);
    EXPECT_EQ(page.messages, std::vector<int>{kNoCanSpeed}) << "the warning instead";
}

TEST_F(ConfigOperationsTest, ReadBackDifferingInAnyByteOrMissingIsAWriteError) {
    for (int index = 0; index <= kConfigRecordSize + 2; ++index) {
        if (index < kConfigRecordSize + 2) {
            sim::set_readback_differs_at(index);  // of offset, count and the 13 data bytes
        } else {
            sim::set_config_read_silent(true);
        }
        sim::clear_received();
        page.save_marked = true;
        EXPECT_EQ(save("3"), 0) << index;
        EXPECT_EQ(page.messages, std::vector<int>{kWriteError}) << index;
        EXPECT_EQ(sim::count_commands(9) + sim::count_commands(2), 0) << index;
        EXPECT_TRUE(page.save_marked) << index;
    }
}

TEST_F(ConfigOperationsTest, DeviceGoneMidOperationEndsInTheFailurePath) {
    sim::unplug_after_commands(1);  // the write arrives, the device drops off before read-back
    EXPECT_EQ(save("3"), 0);
    EXPECT_EQ(page.messages, std::vector<int>{kWriteError});
    page.messages.clear();
    EXPECT_EQ(load_configuration(kLoadFromDevice), 0);
    EXPECT_EQ(page.messages, std::vector<int>{kLoadError});
}

TEST_F(ConfigOperationsTest, LoadTakesOverTheDeviceBlock) {
    sim::set_memory(kConfigBlockAddress, {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03});
    page.save_marked = true;
    page.choice_marked[kVonSpeed] = true;

    EXPECT_EQ(load_configuration(kLoadFromDevice), 1);
    EXPECT_EQ(page.messages, std::vector<int>{kLoaded});
    EXPECT_EQ(page.level, "260");
    EXPECT_EQ(config_reference().level, 260);
    ASSERT_FALSE(page.vehicle_requests.empty());
    const VehicleRequest& last = page.vehicle_requests.back();
    EXPECT_EQ(last.level, 260);
    EXPECT_EQ(last.car_number, 1350);
    EXPECT_TRUE(last.update_entry);
    EXPECT_EQ(page.choices, (std::array<int, kChoiceFieldCount>{4, 0, 1, 5, 1, 2, 9, 1}));
    EXPECT_EQ(config_reference().choices[kSwitchoffTime], 5);
    EXPECT_EQ(page.marks(), "");

    page.messages.clear();
    sim::set_memory_byte(kConfigBlockAddress, 3);
    EXPECT_EQ(load_configuration(kLoadSilently), 1);
    EXPECT_TRUE(page.messages.empty());
    EXPECT_EQ(page.level, "3");
}

TEST_F(ConfigOperationsTest, ReplyForAnotherOffsetOrCountIsNotTaken) {
    for (bool wrong_offset : {true, false}) {
        sim::set_config_read_wrong_offset(wrong_offset);
        sim::set_config_read_wrong_count(!wrong_offset);
        sim::clear_received();
        page.messages.clear();
        page.level = "7";
        EXPECT_EQ(load_configuration(kLoadFromDevice), 0);
        EXPECT_EQ(page.messages, std::vector<int>{kLoadError});
        EXPECT_EQ(sim::count_commands(5), 10);
        EXPECT_EQ(page.level, "7");
        EXPECT_TRUE(page.vehicle_requests.empty());
    }
}

TEST_F(ConfigOperationsTest, DefaultsSendNothing) {
    page.choices = {4, 4, 3, 5, 1, 2, 20, 2};
    EXPECT_EQ(load_configuration(kLoadDefaults), 1);
    EXPECT_TRUE(sim::received_commands().empty());
    EXPECT_EQ(page.messages, std::vector<int>{kDefaultsLoaded});
    EXPECT_EQ(page.level, "3");
    EXPECT_EQ(page.choices, (std::array<int, kChoiceFieldCount>{2, 3, 0, 2, 0, 0, 0, 0}));
    ASSERT_FALSE(page.vehicle_requests.empty());
    EXPECT_EQ(page.vehicle_requests.back().car_number, 43);
    EXPECT_EQ(page.marks(), "");
}

TEST_F(ConfigOperationsTest, CalibrationSetsOnlyTheScaleWhateverTheMeasurementTakes) {
    ASSERT_EQ(load_configuration(kLoadSilently), 1);
    // A measurement that ends while the next round drains its replies must still be seen.
    for (int delay_polls : {1, 2, 3, 4, 6}) {
        page.messages.clear();
        sim::set_calibration(static_cast<uint8_t>(delay_polls + 6), delay_polls);
        EXPECT_EQ(calibrate_speedometer(), 1) << delay_polls;
        EXPECT_EQ(page.messages, std::vector<int>{kCalibrated});
        EXPECT_EQ(page.choices[kSpeedometerScale], delay_polls + 6) << delay_polls;
        EXPECT_EQ(config_reference().choices[kSpeedometerScale], 0) << "left for Save";
    }

    page.messages.clear();
    sim::set_calibration_silent(true);
    sim::clear_received();
    EXPECT_EQ(calibrate_speedometer(), 0);
    EXPECT_EQ(page.messages, std::vector<int>{kRequestFailed});
    EXPECT_EQ(sim::count_commands(7), 10);
}

}  // namespace
