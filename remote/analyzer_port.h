// The CAN analyzer's serial port (USB 12aa:4f58), which the relay hands to the remote-access
// server on request.
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial_port.h"
#include "platform/usb_serial.h"

constexpr uint16_t kAnalyzerVendorId = 0x12AA;
constexpr uint16_t kAnalyzerProductId = 0x4F58;
constexpr int kAnalyzerBaud = 115200;

enum class AnalyzerState {
    closed = 0,
    open = 1,
    driver_missing = 2,  // registered, but no driver gave it a serial port
};

enum class AnalyzerSearch {
    unchanged,  // the port was not closed, so nothing was searched
    opened,
    not_found,       // none registered, or none whose port could be opened
    driver_missing,  // the caller shows analyzer_driver_message()
};

class AnalyzerPort {
   public:
    AnalyzerSearch open();
    // Closes the port when it is open; the state becomes closed in any case.
    void close();
    AnalyzerState state() const { return state_; }
    int index() const { return index_; }
    // The open port's raw reads and writes, as SerialPorts::read and write.
    int read(uint8_t* buffer, int size) { return ports_.read(index_, buffer, size); }
    int write(const uint8_t* buffer, int size) { return ports_.write(index_, buffer, size); }
    // The server has been told about the missing driver: the next search starts afresh.
    void forget_missing_driver();
    void set_device_tree_root(const std::string& root) { root_ = root; }
    void set_serial_device_folder(const std::string& folder) { ports_.set_device_folder(folder); }

   private:
    SerialPorts ports_;
    AnalyzerState state_ = AnalyzerState::closed;
    int index_ = -1;
    std::string root_ = kSystemDeviceTreeRoot;
};

// "Install CAN analyzer driver. ..." for this program in a language (an index of LanguageList),
// with its path written the Windows way as the driver file is installed there.
std::string analyzer_driver_message(int language);
