// The connection state machine of the main loop against the simulated device.
#include <vector>

#include "device/frame_codec.h"
#include "gui/connection_fixture.h"

namespace {

using MainLoopTest = ConnectionTest;

void queue_reply(uint8_t code, std::vector<uint8_t> payload) {
    sim::queue_raw_reply(encode_frame(code, payload.data(), payload.size()));
}

TEST_F(MainLoopTest, GreetingMovesOnOnlyForReplySevenStartingWithTwoOneAndAShortWriteEndsIt) {
    sim::set_greeting_silent(true);
    main_loop_pass();
    ASSERT_EQ(connection().state(), AppState::greeting_with_command1);
    EXPECT_STREQ(status_label_text(), "Please wait...");
    for (const auto& [code, payload] :
         {std::pair<uint8_t, std::vector<uint8_t>>{7, {2, 2}}, {7, {2}}, {6, {2, 1}}}) {
        queue_reply(code, payload);
        main_loop_pass();
        EXPECT_EQ(connection().state(), AppState::greeting_with_command1)
            << int(code) << " " << payload.size();
    }
    EXPECT_GT(sim::count_commands(1), 0) << "state 8 greets with command 1";

    queue_reply(7, {2, 1});
    main_loop_pass();
    EXPECT_EQ(connection().state(), AppState::greeting_with_command4);
    sim::clear_received();
    queue_reply(7, {2, 1});
    main_loop_pass();
    EXPECT_EQ(connection().state(), AppState::greeting_with_command4);
    EXPECT_GT(sim::count_commands(4), 0) << "state 9 greets with command 4";
    EXPECT_EQ(sim::count_commands(1), 0);

    // A short write closes the link; the next pass finds no device and searches.
    sim::fail_writes_after(0);
    main_loop_pass();
    EXPECT_FALSE(connection().link().is_open());
    sim::plug(false);
    main_loop_pass();
    EXPECT_EQ(connection().state(), AppState::searching);
    EXPECT_STREQ(status_label_text(), "Searching for device...");
    EXPECT_STREQ(version_label_text(), "");
}

}  // namespace
