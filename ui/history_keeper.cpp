#include "ui/history_keeper.h"

#include "ui/ui_text.h"
#include "config/config_history.h"
#include "ui/widget_kit.h"

KeepHeldBlock window_history_keeper(const DeviceIdentity& identity) {
    return [identity](const ConfigBlock& held) {
        const std::string folder = history_folder();
        if (keep_history_entry(folder, describe_held_block(held, identity)))
            return true;
        show_message(with_subject(history_text(HistoryText::keep_failed), folder).c_str());
        return false;
    };
}

std::string with_subject(const char* format, const std::string& subject) {
    std::string text = format;
    const size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, subject);
    return text;
}
