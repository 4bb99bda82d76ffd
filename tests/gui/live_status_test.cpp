// The live read-out on a connected page: status bits, speed, and how often it asks.
#include <functional>
#include <string>

#include "ui/config_page.h"
#include "device/status_indicators.h"
#include "gui/connection_fixture.h"

namespace {

class LiveStatusTest : public ConnectionTest {
   protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(pass_until_state(AppState::connected));
    }
};

std::string speed_text() {
    return gtk_label_get_text(GTK_LABEL(config_speed_label()));
}

bool run_passes_until(const std::function<bool()>& done) {
    for (int i = 0; i < 100 && !done(); ++i)
        main_loop_pass();
    return done();
}

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

TEST_F(LiveStatusTest, ANewPageStartsWithoutASpeed) {
    sim::set_speed(true, 42.0f);
    ASSERT_TRUE(run_passes_until([] { return speed_text() != "Speed (km/h): ---"; }));
    unplug_and_replug();
    sim::set_speed(false, 0);
    ASSERT_TRUE(pass_until_state(AppState::connected));
    EXPECT_EQ(speed_text(), "Speed (km/h): ---");
}

}  // namespace
