// What the user reads after a configuration operation: the same language-table entry in the
// window's message and on the tool's standard error.
#pragma once

#include <optional>

#include "app/text_id.h"
#include "config/config_operations.h"

// None when the history keeper stopped the write: it has said why itself.
std::optional<Text> save_message(SaveOutcome outcome);
Text calibration_message(CalibrationOutcome outcome);
