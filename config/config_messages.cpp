#include "config/config_messages.h"

std::optional<Text> save_message(SaveOutcome outcome) {
    switch (outcome) {
        case SaveOutcome::saved:
            return Text::config_saved;
        case SaveOutcome::saved_without_speed_signal:
            return Text::no_can_speed_warning;
        case SaveOutcome::bad_level:
            return Text::bad_can_level;
        case SaveOutcome::history_not_kept:
            return std::nullopt;
        case SaveOutcome::held_block_unread:
        case SaveOutcome::not_verified:
        case SaveOutcome::store_not_sent:
            break;
    }
    return Text::write_error;
}

Text calibration_message(CalibrationOutcome outcome) {
    return outcome == CalibrationOutcome::calibrated ? Text::calibration_finished
                                                     : Text::request_failed;
}
