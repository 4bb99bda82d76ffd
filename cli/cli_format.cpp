#include "cli/cli_format.h"

#include <cstdio>

#include "cli/cli_text.h"

namespace {

const char* speed_signal_name(const Identification& identification) {
    // Firmware 20 and 21 are not asked: their answer cannot be trusted.
    if (identification.old_firmware_warning)
        return "not_checked";
    switch (identification.speed_signal) {
        case SpeedSignal::present:
            return "present";
        case SpeedSignal::absent:
            return "absent";
        case SpeedSignal::searching:
            return "searching";
        case SpeedSignal::no_answer:
            break;
    }
    return "no_answer";
}

std::string firmware_digits(const DeviceIdentity& identity) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d%02d", identity.firmware_high, identity.firmware_low);
    return text;
}

// The number in "Speed (km/h): 12.34", or "" for the label without a speed.
std::string speed_number(const std::string& speed_text) {
    const size_t colon = speed_text.rfind(": ");
    if (colon == std::string::npos)
        return "";
    const std::string number = speed_text.substr(colon + 2);
    return number.find_first_of("0123456789") == std::string::npos ? "" : number;
}

// What decides the exit status: a device is taken as compatible only once identification has
// connected it, so a QN718 that never confirmed its firmware sub-version is not (exit 4).
const char* compatible_word(const Identification& identification) {
    switch (identification.outcome) {
        case IdentifyOutcome::connected:
            return "yes";
        case IdentifyOutcome::incompatible:
            return "no";
        case IdentifyOutcome::unconfirmed:
            break;
    }
    return "unconfirmed";
}

// Why a device is refused, in the language given; empty for a connected one.
std::string refusal_reason(const Identification& identification, int language) {
    switch (identification.outcome) {
        case IdentifyOutcome::connected:
            return "";
        case IdentifyOutcome::incompatible: {
            char text[256];
            std::snprintf(text, sizeof text, cli_text_in(language, CliText::wrong_type),
                          std::to_string(identification.identity.type_code).c_str());
            return text;
        }
        case IdentifyOutcome::unconfirmed:
            break;
    }
    return cli_text_in(language, CliText::unconfirmed);
}

}  // namespace

std::string json_string(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
            quoted += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            quoted += escape;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

std::string identify_text(const Identification& identification, int language) {
    const DeviceIdentity& identity = identification.identity;
    std::string text = "device: " + identity.name() + "\n";
    text += "type: " + std::to_string(identity.type_code) + "\n";
    text += "firmware: " + firmware_digits(identity) + "\n";
    text += "sub-version: ";
    if (identification.sub_version) {
        text += std::to_string(identification.sub_version->a) + "-" +
                std::to_string(identification.sub_version->b);
    } else {
        text += "none";
    }
    text += "\ncompatible: ";
    text += compatible_word(identification);
    const std::string reason = refusal_reason(identification, language);
    if (!reason.empty())
        text += "\nreason: " + reason;
    if (identification.outcome == IdentifyOutcome::connected) {
        text += "\nspeed signal: ";
        text += speed_signal_name(identification);
    }
    return text + "\n";
}

std::string identify_json(const Identification& identification, int language) {
    const DeviceIdentity& identity = identification.identity;
    std::string json = "{\"device\":" + json_string(identity.name());
    json += ",\"type\":" + std::to_string(identity.type_code);
    json += ",\"firmware\":" + json_string(firmware_digits(identity));
    json += ",\"firmware_number\":" + std::to_string(identity.firmware_number());
    json += ",\"sub_version\":";
    if (identification.sub_version) {
        json += "[" + std::to_string(identification.sub_version->a) + "," +
                std::to_string(identification.sub_version->b) + "]";
    } else {
        json += "null";
    }
    // null, not true, for a device that never confirmed its firmware: it was refused.
    json += ",\"compatible\":";
    switch (identification.outcome) {
        case IdentifyOutcome::connected:
            json += "true";
            break;
        case IdentifyOutcome::incompatible:
            json += "false";
            break;
        case IdentifyOutcome::unconfirmed:
            json += "null";
            break;
    }
    const std::string reason = refusal_reason(identification, language);
    json += ",\"reason\":";
    json += reason.empty() ? "null" : json_string(reason);
    json += ",\"speed_signal\":";
    json += identification.outcome == IdentifyOutcome::connected
                ? json_string(speed_signal_name(identification))
                : "null";
    return json + "}\n";
}

std::string status_text(const StatusSample& sample) {
    std::string text;
    for (int i = 0; i < kStatusIndicatorCount; ++i) {
        const StatusIndicator& indicator = StatusIndicatorTable[i];
        if (indicator.byte_index == kNoStatusBit) {
            text += sample.speed_text + "\n";
            continue;
        }
        text += sample.lit[i] ? "[x] " : "[ ] ";
        text += indicator.label;
        text += "\n";
    }
    return text;
}

std::string status_json(const StatusSample& sample) {
    std::string json = "{";
    for (int i = 0; i < kStatusIndicatorCount; ++i) {
        const StatusIndicator& indicator = StatusIndicatorTable[i];
        if (indicator.byte_index == kNoStatusBit)
            continue;
        json += json_string(indicator.label) + ":" + (sample.lit[i] ? "true" : "false") + ",";
    }
    const std::string speed = speed_number(sample.speed_text);
    json += "\"speed_kmh\":" + (speed.empty() ? std::string("null") : speed);
    return json + "}\n";
}

std::string progress_bar_line(double fraction, const std::string& text, int width) {
    if (!(fraction >= 0.0))
        fraction = 0.0;
    if (fraction > 1.0)
        fraction = 1.0;
    const int filled = static_cast<int>(fraction * width + 1e-9);
    std::string line = "[";
    line.append(static_cast<size_t>(filled), '#');
    line.append(static_cast<size_t>(width - filled), ' ');
    line += "] ";
    if (text.size() < 4)
        line.append(4 - text.size(), ' ');
    return line + text;
}

std::string fill_message(const char* format, const std::string& first, const std::string& second) {
    std::string text = format;
    size_t from = 0;
    for (const std::string* value : {&first, &second}) {
        const size_t at = text.find("%s", from);
        if (at == std::string::npos)
            break;
        text.replace(at, 2, *value);
        from = at + value->size();
    }
    return text;
}
