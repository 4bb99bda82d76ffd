#include <cstdio>
#include <cstring>

#include "platform/serial_port.h"

namespace {

constexpr int kBaudRates[] = {110,   300,   600,    1200,   2400,   4800,   9600,   19200,
                              38400, 57600, 115200, 128000, 256000, 500000, 1000000};

}  // namespace

bool make_serial_settings(int baud, const char* mode, SerialSettings& settings,
                          std::string& diagnostic) {
    bool known_baud = false;
    for (const int rate : kBaudRates)
        known_baud = known_baud || rate == baud;
    if (!known_baud) {
        diagnostic = "invalid baudrate\n";
        return false;
    }
    char line[128];
    if (!mode || std::strlen(mode) != 3) {
        std::snprintf(line, sizeof line, "invalid mode \"%s\"\n", mode ? mode : "");
        diagnostic = line;
        return false;
    }
    settings = {};
    settings.baud = baud;
    if (mode[0] < '5' || mode[0] > '8') {
        std::snprintf(line, sizeof line, "invalid number of data-bits '%c'\n", mode[0]);
        diagnostic = line;
        return false;
    }
    settings.data_bits = mode[0] - '0';
    switch (mode[1]) {
        case 'N':
        case 'n':
            settings.parity = 'n';
            break;
        case 'E':
        case 'e':
            settings.parity = 'e';
            break;
        case 'O':
        case 'o':
            settings.parity = 'o';
            break;
        default:
            std::snprintf(line, sizeof line, "invalid parity '%c'\n", mode[1]);
            diagnostic = line;
            return false;
    }
    if (mode[2] != '1' && mode[2] != '2') {
        std::snprintf(line, sizeof line, "invalid number of stop bits '%c'\n", mode[2]);
        diagnostic = line;
        return false;
    }
    settings.stop_bits = mode[2] - '0';
    std::snprintf(line, sizeof line, "baud=%d data=%d parity=%c stop=%d dtr=on rts=on", baud,
                  settings.data_bits, settings.parity, settings.stop_bits);
    settings.text = line;
    return true;
}

// Names are compared on their first 16 characters, as the port table stores them.
int serial_port_index(const std::string& name) {
    constexpr size_t kMaxComparedName = 16;
    const std::string wanted = name.substr(0, kMaxComparedName);
    for (int index = 0; index < kSerialPortCount; ++index) {
        if (serial_port_name(index) == wanted)
            return index;
    }
    return -1;
}

bool accept_serial_open_request(int index, int baud, const char* mode, SerialSettings& settings) {
    if (index < 0 || index >= kSerialPortCount) {
        std::printf("illegal comport number\n");
        return false;
    }
    std::string diagnostic;
    if (!make_serial_settings(baud, mode, settings, diagnostic)) {
        std::printf("%s", diagnostic.c_str());
        return false;
    }
    return true;
}
