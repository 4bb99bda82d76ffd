#include "remote/analyzer_port.h"

#include <algorithm>
#include <cstdio>

#include "app/language.h"
#include "platform/serial_port.h"

AnalyzerSearch AnalyzerPort::open() {
    if (state_ != AnalyzerState::closed)
        return AnalyzerSearch::unchanged;
    for (const UsbSerialDevice& device :
         find_usb_serial_devices(kAnalyzerVendorId, kAnalyzerProductId, root_)) {
        if (device.tty.empty()) {
            state_ = AnalyzerState::driver_missing;
            return AnalyzerSearch::driver_missing;
        }
        const int index = serial_port_index(device.tty);
        if (index < 0)
            continue;
        if (ports_.open(index, kAnalyzerBaud, "8N1") == 0) {
            index_ = index;
            state_ = AnalyzerState::open;
            return AnalyzerSearch::opened;
        }
    }
    return AnalyzerSearch::not_found;
}

void AnalyzerPort::close() {
    if (state_ == AnalyzerState::open)
        ports_.close(index_);
    state_ = AnalyzerState::closed;
}

void AnalyzerPort::forget_missing_driver() {
    if (state_ == AnalyzerState::driver_missing)
        state_ = AnalyzerState::closed;
}

std::string analyzer_driver_message(int language) {
    char text[512];
    std::snprintf(text, sizeof text, lang_text_in(language, Text::install_can_analyzer_driver),
                  "QN718");
    std::string message = text;
    std::replace(message.begin(), message.end(), '/', '\\');
    return message;
}
