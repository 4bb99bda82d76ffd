// The live read-out: what a reply changes, and how often the device is asked.
#include <gtest/gtest.h>

#include <hidapi.h>

#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "device/device_link.h"
#include "device/identification.h"
#include "device/live_status.h"
#include "sim/sim_control.h"

namespace {

DeviceReply reply_of(uint8_t code, const void* payload, size_t length) {
    DeviceReply reply;
    reply.bytes[0] = static_cast<uint8_t>(length + 1);
    reply.bytes[1] = code;
    std::memcpy(reply.bytes + 2, payload, length);
    reply.reply_length = static_cast<int32_t>(length + 3);
    return reply;
}

class LiveStatusTest : public ::testing::Test {
   protected:
    void SetUp() override {
        sim::reset();
        hid_init();
        ASSERT_EQ(link.open(), OpenResult::link);
    }
    // The speed text a step with this reply shows, if it changes it.
    std::optional<std::string> step_with(uint8_t code, const void* payload, size_t length) {
        const DeviceReply reply = reply_of(code, payload, length);
        return status.step(link, &reply).speed_text;
    }
    std::optional<std::string> speed(float value, size_t length = 4) {
        return step_with(0x0A, &value, length);
    }
    std::optional<std::string> availability(uint8_t flag) { return step_with(0x1A, &flag, 1); }

    DeviceLink link;
    LiveStatus status;
};

TEST(SpeedLabel, HundredthsAreCutTowardZeroAndTheSignStandsInFront) {
    const std::pair<float, const char*> cases[] = {
        {12.345f, "12.34"},
        {0.0f, "0.00"},
        {99.999f, "99.99"},
        {-1.5f, "-1.50"},
        {-0.25f, "-0.25"},
        {std::numeric_limits<float>::quiet_NaN(), "0.00"},
        {std::numeric_limits<float>::infinity(), "0.00"}};
    for (const auto& [speed, shown] : cases)
        EXPECT_EQ(speed_label_text(speed), std::string("Speed (km/h): ") + shown);
}

TEST_F(LiveStatusTest, SpeedShowsOnlyAfterTheDeviceSaysItHasOne) {
    EXPECT_EQ(speed(42.5f), std::nullopt) << "no availability reply yet";
    EXPECT_EQ(availability(0), "Speed (km/h): ---");
    EXPECT_EQ(speed(42.5f), std::nullopt);
    EXPECT_EQ(availability(1), std::nullopt);
    EXPECT_EQ(speed(12.345f), "Speed (km/h): 12.34");
    EXPECT_EQ(speed(12.345f, 3), std::nullopt) << "a short reply is no reply";
    EXPECT_EQ(status.step(link, nullptr).speed_text, std::nullopt);

    status.reset();  // a new page
    EXPECT_EQ(speed(30.0f), std::nullopt);
}

TEST_F(LiveStatusTest, SpeedAndStatusAreAskedForNowAndThenNotEveryStep) {
    sim::clear_received();
    int painted = 0;
    for (int i = 0; i < 256; ++i)
        painted += status.step(link, nullptr).lit.has_value();
    for (const uint8_t code : {0x0A, 8}) {
        EXPECT_GT(sim::count_commands(code), 0) << int(code);
        EXPECT_LE(sim::count_commands(code), 64) << int(code) << ": the device is flooded";
    }
    EXPECT_EQ(painted, sim::count_commands(8)) << "each status reply is painted";
    for (const auto& command : sim::received_commands()) {
        if (command.code == 0x0A) {
            EXPECT_EQ(command.payload, std::vector<uint8_t>{0});
        }
    }
}

TEST_F(LiveStatusTest, StatusBitsLightTheirIndicators) {
    sim::set_live_motion(false);
    for (uint8_t bits : {0x05, 0xFF}) {
        sim::set_status_bits(bits);
        std::optional<std::array<bool, kStatusIndicatorCount>> lit;
        for (int i = 0; i < 8; ++i)
            lit = status.step(link, nullptr).lit;
        ASSERT_TRUE(lit);
        // The speed indicator (4) has no bit of its own.
        for (int i = 0; i < kStatusIndicatorCount; ++i)
            EXPECT_EQ((*lit)[i], bits == 0xFF ? i != 4 : i == 0 || i == 2) << int(bits) << " " << i;
    }
}

TEST(Identity, ShortRepliesCarryNone) {
    const uint8_t identity[] = {0xCE, 0x02, 0x00, 0x16};
    const auto whole = decode_identity(reply_of(8, identity, 4));
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->name(), "QN718-0022");
    EXPECT_EQ(whole->firmware_number(), 22u);
    EXPECT_FALSE(decode_identity(reply_of(8, identity, 3)));
}

}  // namespace
