#include "platform/serial_port.h"

#include "platform/utf16_win32.h"

#include <array>
#include <cstdio>

namespace {

constexpr DWORD kWriteTimeoutMs = 300;

// "\\.\" reaches COM10 and above, which the bare name does not.
std::string g_device_folder = "\\\\.\\";
std::array<HANDLE, kSerialPortCount> g_ports = [] {
    std::array<HANDLE, kSerialPortCount> ports{};
    ports.fill(INVALID_HANDLE_VALUE);
    return ports;
}();

HANDLE port_handle(int index) {
    return index >= 0 && index < kSerialPortCount ? g_ports[static_cast<size_t>(index)]
                                                  : INVALID_HANDLE_VALUE;
}

void fail_open(int index, const char* why) {
    std::printf("%s\n", why);
    CloseHandle(g_ports[static_cast<size_t>(index)]);
    g_ports[static_cast<size_t>(index)] = INVALID_HANDLE_VALUE;
}

DWORD modem_status(int index) {
    DWORD status = 0;
    const HANDLE port = port_handle(index);
    if (port == INVALID_HANDLE_VALUE || !GetCommModemStatus(port, &status))
        return 0;
    return status;
}

void escape(int index, DWORD function) {
    const HANDLE port = port_handle(index);
    if (port != INVALID_HANDLE_VALUE)
        EscapeCommFunction(port, function);
}

void purge(int index, DWORD what) {
    const HANDLE port = port_handle(index);
    if (port != INVALID_HANDLE_VALUE)
        PurgeComm(port, what);
}

}  // namespace

std::string serial_port_name(int index) {
    if (index < 0 || index >= kSerialPortCount)
        return "";
    return "COM" + std::to_string(index + 1);
}

void set_serial_device_folder(const std::string& folder) {
    g_device_folder = folder;
}

int serial_open(int index, int baud, const char* mode) {
    SerialSettings settings;
    if (!accept_serial_open_request(index, baud, mode, settings))
        return 1;
    if (g_ports[static_cast<size_t>(index)] != INVALID_HANDLE_VALUE)
        serial_close(index);
    const std::string path = g_device_folder + serial_port_name(index);
    const HANDLE port = CreateFileW(to_utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::printf("unable to open comport\n");
        return 1;
    }
    g_ports[static_cast<size_t>(index)] = port;
    DCB control{};
    control.DCBlength = sizeof control;
    if (!BuildCommDCBW(to_utf16(settings.text).c_str(), &control)) {
        fail_open(index, "unable to set comport dcb settings");
        return 1;
    }
    if (!SetCommState(port, &control)) {
        fail_open(index, "unable to set comport cfg settings");
        return 1;
    }
    // A read returns at once with whatever has arrived; a write waits at most 300 ms.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!SetCommTimeouts(port, &timeouts)) {
        fail_open(index, "unable to set comport time-out settings");
        return 1;
    }
    return 0;
}

int serial_read(int index, uint8_t* buffer, int size) {
    const HANDLE port = port_handle(index);
    DWORD got = 0;
    if (port == INVALID_HANDLE_VALUE || size <= 0 ||
        !ReadFile(port, buffer, static_cast<DWORD>(size), &got, nullptr))
        return 0;
    return static_cast<int>(got);
}

int serial_write(int index, const uint8_t* buffer, int size) {
    const HANDLE port = port_handle(index);
    DWORD put = 0;
    if (port == INVALID_HANDLE_VALUE || size < 0 ||
        !WriteFile(port, buffer, static_cast<DWORD>(size), &put, nullptr))
        return -1;
    return static_cast<int>(put);
}

int serial_send_byte(int index, uint8_t byte) {
    serial_write(index, &byte, 1);
    return 0;
}

void serial_puts(int index, const char* text) {
    while (text && *text)
        serial_send_byte(index, static_cast<uint8_t>(*text++));
}

void serial_close(int index) {
    const HANDLE port = port_handle(index);
    if (port == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(port);
    g_ports[static_cast<size_t>(index)] = INVALID_HANDLE_VALUE;
}

bool serial_dcd(int index) {
    return (modem_status(index) & MS_RLSD_ON) != 0;
}
bool serial_cts(int index) {
    return (modem_status(index) & MS_CTS_ON) != 0;
}
bool serial_dsr(int index) {
    return (modem_status(index) & MS_DSR_ON) != 0;
}
void serial_set_dtr(int index) {
    escape(index, SETDTR);
}
void serial_clear_dtr(int index) {
    escape(index, CLRDTR);
}
void serial_set_rts(int index) {
    escape(index, SETRTS);
}
void serial_clear_rts(int index) {
    escape(index, CLRRTS);
}
void serial_flush_rx(int index) {
    purge(index, PURGE_RXCLEAR | PURGE_RXABORT);
}
void serial_flush_tx(int index) {
    purge(index, PURGE_TXCLEAR | PURGE_TXABORT);
}
void serial_flush_both(int index) {
    serial_flush_rx(index);
    serial_flush_tx(index);
}
