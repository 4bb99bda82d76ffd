#include <gtest/gtest.h>

#include <string>

#include "app/device_access_hint.h"
#include "app/language.h"

TEST(DeviceAccessHint, EveryLanguageNamesTheNodeAndEndsWithTheFixingCommand) {
    for (int language = 0; language < kLanguageCount; ++language) {
        for (const bool rule : {false, true}) {
            const DeviceAccessHint hint = device_access_hint({"/dev/hidraw7", rule}, language);
            const std::string command = rule ? kApplyRuleCommand : kInstallRuleCommand;
            SCOPED_TRACE(hint.details);
            EXPECT_FALSE(hint.status.empty());
            EXPECT_NE(hint.details.find("(/dev/hidraw7)"), std::string::npos);
            ASSERT_GT(hint.details.size(), command.size());
            EXPECT_EQ(hint.details.substr(hint.details.size() - command.size() - 1), "\n" + command)
                << "the command stands alone on the last line, to be copied";
        }
    }
}
