// What the tool prints on standard output, and its progress line: plain functions of the
// values the core returns, so that the formats are fixed by tests.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "device/identification.h"
#include "device/status_indicators.h"

// "key: value" lines for people; the keys and the words of "compatible" (yes, no, unconfirmed)
// stay English in every language, so that a script that greps them works wherever it runs. A
// refused device gets a "reason" line in the language given (an index of LanguageList).
std::string identify_text(const Identification& identification, int language);
// Text as a JSON string: quotes, backslashes and control characters escaped.
std::string json_string(const std::string& text);
// One line of JSON: "compatible" is true, false (another device type) or null (the firmware
// was never confirmed), "reason" null or the refusal's text.
std::string identify_json(const Identification& identification, int language);

// One read-out of the live status.
struct StatusSample {
    std::array<bool, kStatusIndicatorCount> lit{};
    std::string speed_text;  // the speed indicator's label, "Speed (km/h): ---" without speed
};
// One line per indicator in the window's order: "[x] NAME" when lit, "[ ] NAME" when not; the
// speed indicator's line is its label.
std::string status_text(const StatusSample& sample);
// One line of JSON: the indicators by name, and the speed in km/h or null.
std::string status_json(const StatusSample& sample);

// "[#########           ]  45%" for a terminal line; text is what the flasher shows.
std::string progress_bar_line(double fraction, const std::string& text, int width);

// Fills the first "%s" with first and the second with second; other text stays as it is.
std::string fill_message(const char* format, const std::string& first,
                         const std::string& second = "");
