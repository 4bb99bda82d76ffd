// The live read-out on a connected page: status bits, speed, and how often it asks.
#include <cstring>

#include "app/main_loop.h"
#include "config/config_page.h"
#include "config/status_indicators.h"
#include "device/device_link.h"
#include "device/live_status.h"
#include "gui/connection_fixture.h"
#include "sim/sim_control.h"

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

bool lit(int indicator) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(status_indicator_button(indicator));
    if (!(style->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_BG))
        return false;
    const uint32_t rgb = StatusIndicatorTable[indicator].colour;
    const GdkColor& c = style->bg[GTK_STATE_INSENSITIVE];
    return c.red == ((rgb >> 16) & 0xFF) * 257 && c.green == ((rgb >> 8) & 0xFF) * 257 &&
           c.blue == (rgb & 0xFF) * 257;
}

}  // namespace

TEST(SpeedLabel, HundredthsAreCutTowardZero) {
    EXPECT_EQ(speed_label_text(12.345f), "Speed (km/h): 12.34");
    EXPECT_EQ(speed_label_text(0.0f), "Speed (km/h): 0.00");
    EXPECT_EQ(speed_label_text(99.999f), "Speed (km/h): 99.99");
    EXPECT_EQ(speed_label_text(7.05f), "Speed (km/h): 7.05");
    EXPECT_EQ(speed_label_text(std::numeric_limits<float>::quiet_NaN()), "Speed (km/h): 0.00");
    EXPECT_EQ(speed_label_text(std::numeric_limits<float>::infinity()), "Speed (km/h): 0.00");
}

TEST_F(LiveStatusTest, StatusByteFiveLightsFrontSensorAndCanIgnitionOnly) {
    sim::set_live_motion(false);
    sim::set_status_bits(0xFF);
    for (int i = 0; i < 16; ++i)
        main_loop_pass();
    for (int i : {0, 1, 2, 3, 5, 6, 7, 8})
        EXPECT_TRUE(lit(i)) << i;
    sim::set_status_bits(0x05);
    for (int i = 0; i < 16; ++i)
        main_loop_pass();
    for (int i = 0; i < kStatusIndicatorCount; ++i)
        EXPECT_EQ(lit(i), i == 0 || i == 2) << i;
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
            ASSERT_EQ(command.payload.size(), 1u);
            EXPECT_EQ(command.payload[0], 0);
        }
    }
}

TEST_F(LiveStatusTest, NewPageStartsWithoutSpeed) {
    step_with_availability(1);
    step_with_speed(30.0f);
    unplug_and_replug();
    sim::set_speed(false, 0);
    ASSERT_TRUE(pass_until_state(kConnected));
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
    step_with_speed(30.0f);
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
}
