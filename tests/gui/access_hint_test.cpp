// A QN718 that is plugged in but refuses to open: the search explains it instead of going on
// silently.
#include <optional>
#include <string>

#include "app/device_access_hint.h"
#include "gui/connection_fixture.h"

namespace {

class AccessHintTest : public ConnectionTest {
   protected:
    void TearDown() override {
        if (gui_available()) {
            sim::set_open_refused(false);
            connection().set_access_check([] { return find_hid_access_problem(kDeviceVendorId); });
        }
        ConnectionTest::TearDown();
    }
};

std::string info_text() {
    for (const std::string& text : label_texts(main_window())) {
        if (text.find("cannot be opened") != std::string::npos)
            return text;
    }
    return "";
}

int count_of(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

TEST_F(AccessHintTest, ExplainedOnceAndAgainOnlyWhenTheSituationChanges) {
    std::optional<HidAccessProblem> problem = HidAccessProblem{"/dev/hidraw3", false};
    int checks = 0;
    connection().set_access_check([&] {
        ++checks;
        return problem;
    });
    sim::set_open_refused(true);
    const char* status = "QN718 found, but no access to it";

    testing::internal::CaptureStderr();
    main_loop_pass();
    EXPECT_EQ(checks, 1) << "the first pass that finds nothing asks";
    EXPECT_EQ(connection().state(), AppState::searching);
    EXPECT_STREQ(status_label_text(), status);
    EXPECT_NE(info_text().find("(/dev/hidraw3) cannot be opened"), std::string::npos);
    EXPECT_NE(info_text().find(kInstallRuleCommand), std::string::npos) << info_text();
    for (int i = 0; i < 11; ++i)
        main_loop_pass();
    EXPECT_EQ(checks, 2) << "asked again about once a second, not every pass";
    EXPECT_STREQ(status_label_text(), status) << "and kept shown";

    problem->rule_installed = true;
    for (int i = 0; i < 10; ++i)
        main_loop_pass();
    EXPECT_EQ(checks, 3);
    EXPECT_NE(info_text().find(kApplyRuleCommand), std::string::npos) << info_text();
    const std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(count_of(printed, std::string(status) + "\n"), 2) << printed;
    EXPECT_EQ(count_of(printed, kInstallRuleCommand), 1);
    EXPECT_EQ(count_of(printed, kApplyRuleCommand), 1);

    // Fixed: the device opens, and a later loss searches without the old hint.
    sim::set_open_refused(false);
    problem.reset();
    main_loop_pass();
    EXPECT_EQ(connection().state(), AppState::greeting_with_command1);
    unplug_and_replug();
    EXPECT_STREQ(status_label_text(), "Searching for device...");
    EXPECT_EQ(info_text(), "");
}

}  // namespace
