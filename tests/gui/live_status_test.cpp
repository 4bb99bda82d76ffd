// The live read-out on a connected page: the indicators' colours, and the speed of a new page.
#include <string>

#include "ui/config_page.h"
#include "device/status_indicators.h"
#include "gui/connection_fixture.h"

namespace {

using LiveStatusTest = ConnectionTest;

// Lit: the insensitive background is the indicator's colour, each 8-bit part stretched by 257.
bool lit(int indicator) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(status_indicator_button(indicator));
    const uint32_t rgb = StatusIndicatorTable[indicator].colour;
    const GdkColor& c = style->bg[GTK_STATE_INSENSITIVE];
    return (style->color_flags[GTK_STATE_INSENSITIVE] & GTK_RC_BG) &&
           c.red == ((rgb >> 16) & 0xFF) * 257 && c.green == ((rgb >> 8) & 0xFF) * 257 &&
           c.blue == (rgb & 0xFF) * 257;
}

TEST_F(LiveStatusTest, StatusBitsPaintTheirIndicatorsAndANewPageStartsWithoutASpeed) {
    sim::set_live_motion(false);
    sim::set_speed(true, 42.0f);
    ASSERT_TRUE(pass_until_state(AppState::connected));
    // Which bit lights which indicator: live_status_test. Here the paint, both ways.
    for (uint8_t bits : {0xFF, 0x05}) {
        sim::set_status_bits(bits);
        for (int i = 0; i < 16; ++i)
            main_loop_pass();
        EXPECT_TRUE(lit(0)) << int(bits);
        EXPECT_EQ(lit(1), bits == 0xFF);
    }
    const auto speed_text = [] { return gtk_label_get_text(GTK_LABEL(config_speed_label())); };
    const std::string none = "Speed (km/h): ---";
    for (int i = 0; i < 100 && speed_text() == none; ++i)
        main_loop_pass();
    ASSERT_NE(speed_text(), none);
    unplug_and_replug();
    sim::set_speed(false, 0);
    ASSERT_TRUE(pass_until_state(AppState::connected));
    EXPECT_EQ(speed_text(), none);
}

}  // namespace
