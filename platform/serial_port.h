// Serial ports: opening with fixed settings and time-outs, raw reads and writes, modem lines.
// A port is named by its index in a table of ports (0 to 255), the way the relay hands the CAN
// analyzer's port around. Diagnostics go to standard output, which a windowed program does
// not show; the callers learn what happened from the results.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kSerialPortCount = 256;

// The settings of one port, also as the mode text the system's serial layer understands
// ("baud=115200 data=8 parity=n stop=1 dtr=on rts=on").
struct SerialSettings {
    int baud = 0;
    int data_bits = 8;
    char parity = 'n';  // 'n', 'e' or 'o'
    int stop_bits = 1;
    std::string text;
};

// Settings from a baud rate and a 3-character mode such as "8N1". False with the diagnostic
// ("invalid baudrate", "invalid parity 'X'\n", ...) when a value is not accepted.
bool make_serial_settings(int baud, const char* mode, SerialSettings& settings,
                          std::string& diagnostic);
// The checks every system makes before opening: a port index in the table and accepted
// settings. Prints the diagnostic and returns false otherwise.
bool accept_serial_open_request(int index, int baud, const char* mode, SerialSettings& settings);

// The device name of a port index without its folder ("ttyACM0"); "" outside the table.
std::string serial_port_name(int index);
// The index whose device name is the name given (at most 16 characters are compared), or -1.
int serial_port_index(const std::string& name);

// A table of ports, each open or not; the ports still open close with it.
class SerialPorts {
   public:
    SerialPorts();
    ~SerialPorts() {
        for (int index = 0; index < kSerialPortCount; ++index)
            close(index);
    }
    SerialPorts(const SerialPorts&) = delete;
    SerialPorts& operator=(const SerialPorts&) = delete;

    // Where the device names live: the system's own place unless a test points elsewhere.
    void set_device_folder(const std::string& folder) { device_folder_ = folder; }

    // 0 when the port is open with the settings, reads returning at once and writes waiting at
    // most 300 ms; 1 after printing why not.
    int open(int index, int baud, const char* mode);
    // Bytes read at once (at most size); 0 when nothing has arrived or the read failed.
    int read(int index, uint8_t* buffer, int size);
    // Bytes written within the write time-out, or -1 when the system reports a failure.
    int write(int index, const uint8_t* buffer, int size);
    int send_byte(int index, uint8_t byte);
    void puts(int index, const char* text);
    void close(int index);
    bool dcd(int index) const;
    bool cts(int index) const;
    bool dsr(int index) const;
    void set_dtr(int index);
    void clear_dtr(int index);
    void set_rts(int index);
    void clear_rts(int index);
    void flush_rx(int index);
    void flush_tx(int index);
    void flush_both(int index);

   private:
    // The system's handle of each index while it is open (a descriptor, or a HANDLE's value).
    static constexpr intptr_t kNoPort = -1;
    intptr_t handle(int index) const {
        return index >= 0 && index < kSerialPortCount ? handles_[static_cast<size_t>(index)]
                                                      : kNoPort;
    }

    std::string device_folder_;
    std::array<intptr_t, kSerialPortCount> handles_;
};
