// Saving, loading, defaults and calibration against the simulated device, on a stand-in page.
#include <gtest/gtest.h>

#include <vector>

#include "config/config_block.h"
#include "config/config_operations.h"
#include "recording_page.h"
#include "device/device_link.h"
#include "sim/sim_control.h"

namespace {

using Messages = std::vector<Text>;

class ConfigOperationsTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        ASSERT_EQ(link.open(), OpenResult::link);
        sim::clear_received();
    }

    // Saves with a fresh message list; the function's result.
    bool save(const char* level_text) {
        page.messages.clear();
        page.level = level_text;
        return save_configuration(link, page, [this](const ConfigBlock& block) {
            held.push_back(block);
            return keep;
        });
    }
    bool load(LoadKind kind) {
        page.messages.clear();
        return load_configuration(link, page, kind);
    }
    // "level (reference level) choices | car number | marks" as the page shows them.
    std::string shown() {
        std::string text = page.level + " (" + std::to_string(page.reference().level) + ")";
        for (int choice : page.choices)
            text += " " + std::to_string(choice);
        return text + " | car " + std::to_string(page.selected_car) + " | " + page.marks();
    }
    std::vector<uint8_t> device_block() const {
        std::vector<uint8_t> block;
        for (int i = 0; i < kConfigRecordSize; ++i)
            block.push_back(sim::memory_byte(kConfigBlockAddress + i));
        return block;
    }
    std::vector<uint8_t> sent_codes() const {
        std::vector<uint8_t> codes;
        for (const sim::ReceivedCommand& command : sim::received_commands())
            codes.push_back(command.code);
        return codes;
    }

    DeviceLink link;
    RecordingPage page;
    std::vector<ConfigBlock> held;  // what each save handed to the history keeper
    bool keep = true;               // the keeper's answer
};

TEST_F(ConfigOperationsTest, SaveRefusesBadLevelsAndTakesEmptyAsZero) {
    page.reference().level = 9;
    for (const char* text : {"255", "256", "65536", "-1", "12a"}) {
        EXPECT_FALSE(save(text)) << text;
        EXPECT_EQ(page.messages, Messages{Text::bad_can_level}) << text;
    }
    EXPECT_EQ(page.reference().level, 9);
    EXPECT_TRUE(sim::received_commands().empty());

    sim::set_memory_byte(kConfigBlockAddress, 3);
    EXPECT_TRUE(save(""));
    EXPECT_EQ(sim::memory_byte(kConfigBlockAddress), 0);
    EXPECT_EQ(page.messages, Messages{Text::config_saved});
}

TEST_F(ConfigOperationsTest, SaveWritesVerifiesStoresAndAsksForStatus) {
    page.selected_car = 1350;
    page.selection_level = 300;
    page.choices = {1, 2, 3, 4, 1, 2, 49, 2};
    page.save_red = true;

    EXPECT_TRUE(save("300"));
    EXPECT_EQ(sent_codes(), (std::vector<uint8_t>{5, 6, 5, 9, 2}));
    EXPECT_EQ(device_block(),
              (std::vector<uint8_t>{255, 1, 2, 3, 4, 1, 2, 49, 2, 0x05, 0x46, 0x01, 0x2B}));
    EXPECT_EQ(page.messages, Messages{Text::config_saved});
    EXPECT_EQ(shown(), "300 (300) 1 2 3 4 1 2 49 2 | car 1350 | ");
    EXPECT_EQ(page.reference().choices[kSpeedometerScale], 49);

    sim::set_status_sequence("0");
    EXPECT_TRUE(save("3"));
    EXPECT_EQ(page.messages, Messages{Text::no_can_speed_warning}) << "the warning instead";
}

TEST_F(ConfigOperationsTest, SaveHandsTheHeldBlockToTheKeeperWhichMayStopTheWrite) {
    const std::vector<uint8_t> held_bytes = {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03};
    sim::set_memory(kConfigBlockAddress, held_bytes);
    // The reference is not what the device holds (as after a .cfg load): the device is asked.
    page.reference().level = 3;
    EXPECT_TRUE(save("3"));
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(held[0].begin(), held[0].end()), held_bytes);

    // A keeper that fails, or a device that does not give its block: nothing is written.
    const std::vector<uint8_t> before = device_block();
    for (const bool silent : {false, true}) {
        keep = false;
        sim::set_config_read_silent(silent);
        sim::clear_received();
        held.clear();
        EXPECT_FALSE(save("7")) << silent;
        EXPECT_EQ(held.size(), silent ? 0u : 1u);
        EXPECT_EQ(sim::count_commands(6), 0) << silent;
        EXPECT_EQ(device_block(), before);
        EXPECT_EQ(page.messages, silent ? Messages{Text::write_error} : Messages{}) << silent;
    }
}

TEST_F(ConfigOperationsTest, ReadBackDifferingInAnyByteOrMissingIsAWriteError) {
    // Each of offset, count and the 13 data bytes read back wrong, then no read-back at all.
    for (int index = 0; index <= kConfigRecordSize + 2; ++index) {
        if (index < kConfigRecordSize + 2)
            sim::set_readback_differs_at(index);
        else
            sim::set_config_read_silent(true);
        sim::clear_received();
        page.save_red = true;
        EXPECT_FALSE(save("3")) << index;
        EXPECT_EQ(page.messages, Messages{Text::write_error}) << index;
        EXPECT_EQ(sim::count_commands(9) + sim::count_commands(2), 0) << index;
        EXPECT_TRUE(page.save_red) << index;
    }
}

TEST_F(ConfigOperationsTest, LoadTakesOverTheDeviceBlockSilentlySaysNothingDefaultsSendNothing) {
    sim::set_memory(kConfigBlockAddress, {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03});
    page.save_red = true;
    page.choice_red[kVonSpeed] = true;

    EXPECT_TRUE(load(LoadKind::from_device));
    EXPECT_EQ(page.messages, Messages{Text::config_loaded});
    EXPECT_EQ(shown(), "260 (260) 4 0 1 5 1 2 9 1 | car 1350 | ");
    EXPECT_TRUE(page.vehicle_requests.back().update_entry);
    EXPECT_EQ(page.reference().choices[kSwitchoffTime], 5);

    sim::set_memory_byte(kConfigBlockAddress, 3);
    EXPECT_TRUE(load(LoadKind::silently));
    EXPECT_TRUE(page.messages.empty());
    EXPECT_EQ(page.level, "3");

    sim::clear_received();
    page.choices = {4, 4, 3, 5, 1, 2, 20, 2};
    EXPECT_TRUE(load(LoadKind::defaults));
    EXPECT_TRUE(sim::received_commands().empty());
    EXPECT_EQ(page.messages, Messages{Text::defaults_loaded});
    EXPECT_EQ(shown(), "3 (3) 2 3 0 2 0 0 0 0 | car 43 | ");
}

TEST_F(ConfigOperationsTest, ReplyForAnotherOffsetOrCountIsNotTaken) {
    for (bool wrong_offset : {true, false}) {
        sim::set_config_read_wrong_offset(wrong_offset);
        sim::set_config_read_wrong_count(!wrong_offset);
        sim::clear_received();
        page.level = "7";
        EXPECT_FALSE(load(LoadKind::from_device));
        EXPECT_EQ(page.messages, Messages{Text::config_load_error});
        EXPECT_EQ(sim::count_commands(5), 10);
        EXPECT_EQ(page.level, "7");
        EXPECT_TRUE(page.vehicle_requests.empty());
    }
}

TEST_F(ConfigOperationsTest, CalibrationSetsOnlyTheScaleWhateverTheMeasurementTakes) {
    ASSERT_TRUE(load(LoadKind::silently));
    // A measurement that ends while the next round drains its replies must still be seen.
    for (int delay_polls : {1, 2, 3, 4, 6}) {
        page.messages.clear();
        sim::set_calibration(static_cast<uint8_t>(delay_polls + 6), delay_polls);
        EXPECT_TRUE(calibrate_speedometer(link, page)) << delay_polls;
        EXPECT_EQ(page.messages, Messages{Text::calibration_finished});
        EXPECT_EQ(page.choices[kSpeedometerScale], delay_polls + 6) << delay_polls;
        EXPECT_EQ(page.reference().choices[kSpeedometerScale], 0) << "left for Save";
    }

    page.messages.clear();
    sim::set_calibration_silent(true);
    sim::clear_received();
    EXPECT_FALSE(calibrate_speedometer(link, page));
    EXPECT_EQ(page.messages, Messages{Text::request_failed});
    EXPECT_EQ(sim::count_commands(7), 10);
}

}  // namespace
