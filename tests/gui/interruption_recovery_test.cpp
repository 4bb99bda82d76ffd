// After an interruption in the middle of each kind of operation, run on the window's own link,
// the window goes back to searching and connects again once the device is back.
#include <hidapi.h>

#include "gui/connection_fixture.h"
#include "unit/interruption_harness.h"

namespace {

using InterruptionRecoveryTest = ConnectionTest;

TEST_F(InterruptionRecoveryTest, EveryOperationKindEndsSearchingAndReconnects) {
    for (const sweep::Operation& op : sweep::operations()) {
        SCOPED_TRACE(op.name);
        DeviceLink scratch;
        const sweep::Reference ref = sweep::measure(op, scratch);

        sim::reset();
        hid_init();
        sim::set_firmware_number(sweep::kOldFirmware);
        connection().restart();
        DeviceLink& link = connection().link();
        sweep::Run run(link);
        op.prepare(run);
        if (op.start == sweep::Start::application) {
            ASSERT_TRUE(pass_until_state(AppState::connected));
        }

        sim::arm_call_fault(ref.calls / 2, sim::CallFault::vanish);
        op.run(run);
        EXPECT_TRUE(sim::call_fault_struck());
        EXPECT_FALSE(run.outcome.success);
        ASSERT_TRUE(pass_until_state(AppState::searching, 5));
        EXPECT_FALSE(link.is_open());

        sim::replug();
        if (op.flashes) {
            // Erased and waiting in its bootloader: what the bootloader window does.
            sweep::Run again(link);
            sweep::flash_outcome(again, FlashMode::from_bootloader);
            ASSERT_EQ(again.outcome.flash, FlashResult::programmed);
        }
        ASSERT_TRUE(pass_until_state(AppState::connected));
    }
}

}  // namespace
