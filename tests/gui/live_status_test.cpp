// The live read-out on a connected page: status bits, speed, and how often it asks.
#include <cstring>
#include <limits>

#include "config/config_page.h"
#include "config/status_indicators.h"
#include "device/live_status.h"
#include "gui/connection_fixture.h"

namespace {

class LiveStatusTest : public ConnectionTest {
   protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(pass_until_state(kConnected));
    }

    static std::string speed_text() { return gtk_label_get_text(GTK_LABEL(config_speed_label())); }

    // Hands the step a reply as if the loop's own poll had just brought it.
    static void step_with_reply(uint8_t code, const void* payload, size_t length) {
        DeviceReply& reply = device_reply();
        reply.set_code(code);
        std::memcpy(reply.payload(), payload, length);
        reply.reply_length = static_cast<int32_t>(length + 3);
        live_status_step();
    }
    static void step_with_speed(float speed) { step_with_reply(0x0A, &speed, sizeof speed); }
    static void step_with_availability(uint8_t flag) { step_with_reply(0x1A, &flag, 1); }
};

// Lit: the insensitive background is the indicator's colour, each 8-bit part stretched by 257.
bool lit(int indicator) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(status_indicator_button(indicator));
    if (!(style->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_BG))
        return false;
    const uint32_t rgb = StatusIndicatorTable[indicator].colour;
    const GdkColor& c = style->bg[GTK_STATE_INSENSITIVE];
    return c.red == ((rgb >> 16) & 0xFF) * 257 && c.green == ((rgb >> 8) & 0xFF) * 257 &&
           c.blue == (rgb & 0xFF) * 257;
}

TEST(SpeedLabel, HundredthsAreCutTowardZero) {
    const std::pair<float, const char*> cases[] = {
        {12.345f, "12.34"},
        {0.0f, "0.00"},
        {99.999f, "99.99"},
        {7.05f, "7.05"},
        {std::numeric_limits<float>::quiet_NaN(), "0.00"},
        {std::numeric_limits<float>::infinity(), "0.00"}};
    for (const auto& [speed, shown] : cases)
        EXPECT_EQ(speed_label_text(speed), std::string("Speed (km/h): ") + shown);
}

TEST_F(LiveStatusTest, StatusByteFiveLightsFrontSensorAndCanIgnitionOnly) {
    sim::set_live_motion(false);
    for (uint8_t bits : {0xFF, 0x05}) {
        sim::set_status_bits(bits);
        for (int i = 0; i < 16; ++i)
            main_loop_pass();
        for (int i = 0; i < kStatusIndicatorCount; ++i) {
            // Every bit lights its indicator; the speed indicator (4) is never lit.
            EXPECT_EQ(lit(i), bits == 0xFF ? i != 4 : i == 0 || i == 2) << int(bits) << " " << i;
        }
    }
}

TEST_F(LiveStatusTest, SpeedShowsOnlyAfterTheDeviceSaysItHasOne) {
    const std::string before = speed_text();
    step_with_speed(42.5f);
    EXPECT_EQ(speed_text(), before) << "no availability reply yet";
    step_with_availability(0);
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
    step_with_speed(42.5f);
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
    step_with_availability(1);
    step_with_speed(12.345f);
    EXPECT_EQ(speed_text(), "Speed (km/h): 12.34");
    step_with_reply(0, "", 0);
    EXPECT_EQ(speed_text(), "Speed (km/h): 12.34") << "the label keeps its last text";

    // A new page starts without a speed.
    unplug_and_replug();
    sim::set_speed(false, 0);
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
    step_with_speed(30.0f);
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
}

TEST_F(LiveStatusTest, SpeedAndStatusRequestRates) {
    sim::clear_received();
    for (int i = 0; i < 256; ++i) {
        device_reply().set_code(0);
        live_status_step();
    }
    EXPECT_EQ(sim::count_commands(0x0A), 16);
    EXPECT_EQ(sim::count_commands(8), 32);
    for (const auto& command : sim::received_commands()) {
        if (command.code == 0x0A) {
            EXPECT_EQ(command.payload, std::vector<uint8_t>{0});
        }
    }
}

}  // namespace
