#include "app/device_access_hint.h"

#include <cstdio>

#include "app/language.h"

DeviceAccessHint device_access_hint(const HidAccessProblem& problem, int language) {
    const char* format = lang_text_in(
        language, problem.rule_installed ? Text::udev_rule_not_applied : Text::udev_rule_missing);
    // The node name comes from sysfs: "/dev/hidraw" and a number, far below this.
    char text[600];
    std::snprintf(text, sizeof text, format, problem.device_node.c_str());
    return {lang_text_in(language, Text::device_no_access),
            std::string(text) + "\n" +
                (problem.rule_installed ? kApplyRuleCommand : kInstallRuleCommand)};
}
