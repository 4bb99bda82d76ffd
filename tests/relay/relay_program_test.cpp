// The program's own relay (the window's session and relay steps, headless) logged in to the
// server in this process, on the simulated device, with a technician on the socket.
#include <gtest/gtest.h>

#include <memory>

#include "app/language.h"
#include "device/device_link.h"
#include "device/frame_codec.h"
#include "firmware/firmware_image.h"
#include "relay_harness.h"
#include "remote/remote_session.h"
#include "sim/sim_control.h"
#include "support/recording_remote_host.h"

using namespace relay_test;

namespace {

class RelayProgramTest : public ::testing::Test {
   protected:
    void SetUp() override {
        ASSERT_TRUE(relay_.started()) << relay_.error();
        sim::reset();
        link_.set_return_log_lines(true);
        code_ = relay_.new_code();
        ASSERT_EQ(log_in(*session_, {"127.0.0.1", relay_.port()}, code_), LoginResult::logged_in);
        technician_ = relay_.attach(code_);
        ASSERT_EQ(technician_.receive(3000, "\n"), "OK\n");
    }
    void TearDown() override { finish_session(*session_, link_, true); }

    // Relay steps until the technician has `until` (or count bytes), at most max_steps.
    std::string relay_until(const std::string& until, size_t count = 0, int max_steps = 300) {
        std::string got;
        for (int i = 0; i < max_steps; ++i) {
            relay_step(*session_, link_, *image_, host_);
            got += technician_.receive(1);
            if ((!until.empty() && got.find(until) != std::string::npos) ||
                (count && got.size() >= count))
                break;
        }
        return got;
    }

    RunningRelay relay_;
    std::string code_;
    Peer technician_;
    std::unique_ptr<RemoteSession> session_ = std::make_unique<RemoteSession>();
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
    DeviceLink link_;
    RecordingRemoteHost host_;
};

TEST_F(RelayProgramTest, TheTechnicianWorksTheDeviceThroughTheRelayAndAnIdleSessionLives) {
    ASSERT_TRUE(technician_.send(record("@H")));
    EXPECT_EQ(relay_until("@1"), "@1");
    EXPECT_EQ(host_.statuses.back(), "Remote access active (M).");

    // A frame, then the fetch: the device's reply comes back as one "@R" record.
    ASSERT_TRUE(technician_.send(record(std::string("@h\x01\x00", 4))));
    relay_until("", 0, 5);
    ASSERT_TRUE(technician_.send(record("@R")));
    const std::string reply = relay_until("", 3);
    // Reply code 7 with its two payload bytes and checksum, as the device sent them.
    const std::string frame("\x03\x07\x02\x01", 4);
    const uint8_t check =
        frame_checksum(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
    EXPECT_EQ(reply, "@R\x04" + frame.substr(1) + std::string(1, static_cast<char>(check)));
    EXPECT_EQ(sim::received_commands().back().frame_text, "!0101AC#");

    // Longer than the program's 2.6 s of silence: the server's keep-alives hold the session.
    const auto start = Clock::now();
    while (Clock::now() - start < std::chrono::milliseconds(3300))
        relay_step(*session_, link_, *image_, host_);
    ASSERT_TRUE(session_->connected());
    EXPECT_EQ(host_.ended, 0);
    ASSERT_TRUE(technician_.send(record("@G")));
    EXPECT_EQ(relay_until("", 3), std::string("@G\x00", 3));

    // The technician is done: the program lets the device go and the connection ends.
    technician_.close();
    for (int i = 0; i < 300 && session_->connected(); ++i)
        relay_step(*session_, link_, *image_, host_);
    EXPECT_FALSE(session_->connected());
    EXPECT_EQ(link_.kind(), DeviceKind::none);
    EXPECT_EQ(relay_.ask("SESSIONS").lines, std::vector<std::string>{"END"});
}

}  // namespace
