// Serial ports: opening with fixed settings and time-outs, raw reads and writes, modem lines.
// A port is named by its index in the port table (0 to 255), the way the relay hands the CAN
// analyzer's port around. Diagnostics go to standard output, which a windowed program does
// not show; the callers learn what happened from the results.
#pragma once

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
// Where the device names live: "/dev" unless a test points elsewhere.
void set_serial_device_folder(const std::string& folder);

// 0 when the port is open with the settings, reads returning at once and writes waiting at
// most 300 ms; 1 after printing why not.
int serial_open(int index, int baud, const char* mode);
// Bytes read at once (at most size); 0 when nothing has arrived or the read failed.
int serial_read(int index, uint8_t* buffer, int size);
// Bytes written within the write time-out, or -1 when the system reports a failure.
int serial_write(int index, const uint8_t* buffer, int size);
int serial_send_byte(int index, uint8_t byte);
void serial_puts(int index, const char* text);
void serial_close(int index);
bool serial_dcd(int index);
bool serial_cts(int index);
bool serial_dsr(int index);
void serial_set_dtr(int index);
void serial_clear_dtr(int index);
void serial_set_rts(int index);
void serial_clear_rts(int index);
void serial_flush_rx(int index);
void serial_flush_tx(int index);
void serial_flush_both(int index);
