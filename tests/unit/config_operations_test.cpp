// Saving, loading, defaults and calibration against the simulated device, and the words the
// window and the tool show for what happened.
#include <gtest/gtest.h>

#include <vector>

#include "config/config_block.h"
#include "config/config_messages.h"
#include "config/config_operations.h"
#include "device/device_link.h"
#include "sim/sim_control.h"

namespace {

class ConfigOperationsTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        ASSERT_EQ(link.open(), OpenResult::link);
        sim::clear_received();
    }

    SaveOutcome save(const ConfigRecord& record) {
        return save_configuration(link, record, [this](const ConfigBlock& block) {
            held.push_back(block);
            return keep;
        });
    }
    static ConfigRecord with_level(int32_t level) {
        ConfigRecord record;
        record.can_level = level;
        return record;
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
    std::vector<ConfigBlock> held;  // what each save handed to the history keeper
    bool keep = true;               // the keeper's answer
};

TEST_F(ConfigOperationsTest, SaveRefusesLevelsTheDeviceMustNotGetBeforeSendingAnything) {
    for (const int32_t level : {255, 256, 65536, -1}) {
        EXPECT_EQ(save(with_level(level)), SaveOutcome::bad_level) << level;
    }
    EXPECT_TRUE(sim::received_commands().empty());
    EXPECT_TRUE(held.empty());
    int32_t parsed = -1;
    EXPECT_TRUE(parse_can_level_text("", &parsed)) << "an empty entry is level 0";
    EXPECT_EQ(parsed, 0);
    for (const char* text : {"255", "256", "65536", "-1", "12a", " 3"})
        EXPECT_FALSE(parse_can_level_text(text, &parsed)) << text;
}

TEST_F(ConfigOperationsTest, SaveWritesVerifiesStoresAndAsksForStatus) {
    ConfigRecord record;
    record.can_level = 300;
    record.car_number = 1350;
    record.choices = {1, 2, 3, 4, 1, 2, 49, 2};
    EXPECT_EQ(save(record), SaveOutcome::saved);
    EXPECT_EQ(sent_codes(), (std::vector<uint8_t>{5, 6, 5, 9, 2}));
    EXPECT_EQ(device_block(),
              (std::vector<uint8_t>{255, 1, 2, 3, 4, 1, 2, 49, 2, 0x05, 0x46, 0x01, 0x2B}));

    sim::set_status_sequence("0");
    EXPECT_EQ(save(with_level(3)), SaveOutcome::saved_without_speed_signal);
}

TEST_F(ConfigOperationsTest, SaveHandsTheHeldBlockToTheKeeperWhichMayStopTheWrite) {
    const std::vector<uint8_t> held_bytes = {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03};
    sim::set_memory(kConfigBlockAddress, held_bytes);
    EXPECT_EQ(save(with_level(3)), SaveOutcome::saved);
    ASSERT_EQ(held.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(held[0].begin(), held[0].end()), held_bytes);

    // A keeper that fails, or a device that does not give its block: nothing is written.
    const std::vector<uint8_t> before = device_block();
    for (const bool silent : {false, true}) {
        keep = false;
        sim::set_config_read_silent(silent);
        sim::clear_received();
        held.clear();
        EXPECT_EQ(save(with_level(7)),
                  silent ? SaveOutcome::held_block_unread : SaveOutcome::history_not_kept);
        EXPECT_EQ(held.size(), silent ? 0u : 1u);
        EXPECT_EQ(sim::count_commands(6), 0) << silent;
        EXPECT_EQ(device_block(), before);
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
        // A silent device does not give the held block either.
        EXPECT_EQ(save(with_level(3)), index < kConfigRecordSize + 2
                                           ? SaveOutcome::not_verified
                                           : SaveOutcome::held_block_unread)
            << index;
        EXPECT_EQ(sim::count_commands(9) + sim::count_commands(2), 0) << index;
    }
}

TEST_F(ConfigOperationsTest, EveryFailedWriteReadsAsAWriteErrorAndOnlyTheKeeperSpeaksForItself) {
    // The window and the tool show these; a keeper that refused has told the user already.
    const std::pair<SaveOutcome, std::optional<Text>> cases[] = {
        {SaveOutcome::saved, Text::config_saved},
        {SaveOutcome::saved_without_speed_signal, Text::no_can_speed_warning},
        {SaveOutcome::bad_level, Text::bad_can_level},
        {SaveOutcome::held_block_unread, Text::write_error},
        {SaveOutcome::history_not_kept, std::nullopt},
        {SaveOutcome::not_verified, Text::write_error},
        {SaveOutcome::store_not_sent, Text::write_error},
    };
    for (const auto& [outcome, text] : cases)
        EXPECT_EQ(save_message(outcome), text) << static_cast<int>(outcome);
    EXPECT_EQ(calibration_message(CalibrationOutcome::calibrated), Text::calibration_finished);
    EXPECT_EQ(calibration_message(CalibrationOutcome::scale_unread), Text::request_failed);
    EXPECT_EQ(calibration_message(CalibrationOutcome::not_finished), Text::request_failed);
}

TEST_F(ConfigOperationsTest, LoadTakesTheDeviceBlockAndTheDefaultsNeedNoDevice) {
    const std::vector<uint8_t> bytes = {255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03};
    sim::set_memory(kConfigBlockAddress, bytes);
    const std::optional<ConfigRecord> loaded = load_configuration(link);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->can_level, 260);
    EXPECT_EQ(loaded->car_number, 1350);
    EXPECT_EQ(encode_config_record(*loaded),
              ConfigBlock({255, 4, 0, 1, 5, 1, 2, 9, 1, 0x05, 0x46, 0x01, 0x03}));

    sim::clear_received();
    EXPECT_EQ(encode_config_record(default_configuration()), kDefaultConfigBlock);
    EXPECT_TRUE(sim::received_commands().empty());
}

TEST_F(ConfigOperationsTest, ReplyForAnotherOffsetOrCountIsNotTaken) {
    for (bool wrong_offset : {true, false}) {
        sim::set_config_read_wrong_offset(wrong_offset);
        sim::set_config_read_wrong_count(!wrong_offset);
        sim::clear_received();
        EXPECT_FALSE(load_configuration(link));
        EXPECT_EQ(sim::count_commands(5), 10);
    }
}

TEST_F(ConfigOperationsTest, CalibrationGivesTheScaleWhateverTheMeasurementTakes) {
    // A measurement that ends while the next round drains its replies must still be seen.
    for (int delay_polls : {1, 2, 3, 4, 6}) {
        sim::set_calibration(static_cast<uint8_t>(delay_polls + 6), delay_polls);
        const CalibrationResult result = calibrate_speedometer(link);
        EXPECT_EQ(result.outcome, CalibrationOutcome::calibrated) << delay_polls;
        EXPECT_EQ(result.scale, delay_polls + 6) << delay_polls;
    }

    sim::set_calibration_silent(true);
    sim::clear_received();
    EXPECT_EQ(calibrate_speedometer(link).outcome, CalibrationOutcome::not_finished);
    EXPECT_EQ(sim::count_commands(7), 10);
}

}  // namespace
