#include "platform/serial_port.h"

#include "platform/utf16_win32.h"

#include <array>
#include <cstdio>

namespace {

constexpr DWORD kWriteTimeoutMs = 300;

HANDLE as_handle(intptr_t value) {
    return reinterpret_cast<HANDLE>(value);
}

DWORD modem_status(HANDLE port) {
    DWORD status = 0;
    if (port == INVALID_HANDLE_VALUE || !GetCommModemStatus(port, &status))
        return 0;
    return status;
}

void escape(HANDLE port, DWORD function) {
    if (port != INVALID_HANDLE_VALUE)
        EscapeCommFunction(port, function);
}

void purge(HANDLE port, DWORD what) {
    if (port != INVALID_HANDLE_VALUE)
        PurgeComm(port, what);
}

}  // namespace

std::string serial_port_name(int index) {
    if (index < 0 || index >= kSerialPortCount)
        return "";
    return "COM" + std::to_string(index + 1);
}

// "\\.\" reaches COM10 and above, which the bare name does not. INVALID_HANDLE_VALUE is kNoPort.
SerialPorts::SerialPorts() : device_folder_("\\\\.\\") {
    handles_.fill(kNoPort);
}

int SerialPorts::open(int index, int baud, const char* mode) {
    SerialSettings settings;
    if (!accept_serial_open_request(index, baud, mode, settings))
        return 1;
    if (handles_[static_cast<size_t>(index)] != kNoPort)
        close(index);
    const std::string path = device_folder_ + serial_port_name(index);
    const auto fail_open = [&](const char* why) {
        std::printf("%s\n", why);
        close(index);
    };
    const HANDLE port = CreateFileW(to_utf16(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (port == INVALID_HANDLE_VALUE) {
        std::printf("unable to open comport\n");
        return 1;
    }
    handles_[static_cast<size_t>(index)] = reinterpret_cast<intptr_t>(port);
    DCB control{};
    control.DCBlength = sizeof control;
    if (!BuildCommDCBW(to_utf16(settings.text).c_str(), &control)) {
        fail_open("unable to set comport dcb settings");
        return 1;
    }
    if (!SetCommState(port, &control)) {
        fail_open("unable to set comport cfg settings");
        return 1;
    }
    // A read returns at once with whatever has arrived; a write waits at most 300 ms.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutConstant = kWriteTimeoutMs;
    if (!SetCommTimeouts(port, &timeouts)) {
        fail_open("unable to set comport time-out settings");
        return 1;
    }
    return 0;
}

int SerialPorts::read(int index, uint8_t* buffer, int size) {
    const HANDLE port = as_handle(handle(index));
    DWORD got = 0;
    if (port == INVALID_HANDLE_VALUE || size <= 0 ||
        !ReadFile(port, buffer, static_cast<DWORD>(size), &got, nullptr))
        return 0;
    return static_cast<int>(got);
}

int SerialPorts::write(int index, const uint8_t* buffer, int size) {
    const HANDLE port = as_handle(handle(index));
    DWORD put = 0;
    if (port == INVALID_HANDLE_VALUE || size < 0 ||
        !WriteFile(port, buffer, static_cast<DWORD>(size), &put, nullptr))
        return -1;
    return static_cast<int>(put);
}

int SerialPorts::send_byte(int index, uint8_t byte) {
    write(index, &byte, 1);
    return 0;
}

void SerialPorts::puts(int index, const char* text) {
    while (text && *text)
        send_byte(index, static_cast<uint8_t>(*text++));
}

void SerialPorts::close(int index) {
    const HANDLE port = as_handle(handle(index));
    if (port == INVALID_HANDLE_VALUE)
        return;
    CloseHandle(port);
    handles_[static_cast<size_t>(index)] = kNoPort;
}

bool SerialPorts::dcd(int index) const {
    return (modem_status(as_handle(handle(index))) & MS_RLSD_ON) != 0;
}
bool SerialPorts::cts(int index) const {
    return (modem_status(as_handle(handle(index))) & MS_CTS_ON) != 0;
}
bool SerialPorts::dsr(int index) const {
    return (modem_status(as_handle(handle(index))) & MS_DSR_ON) != 0;
}
void SerialPorts::set_dtr(int index) {
    escape(as_handle(handle(index)), SETDTR);
}
void SerialPorts::clear_dtr(int index) {
    escape(as_handle(handle(index)), CLRDTR);
}
void SerialPorts::set_rts(int index) {
    escape(as_handle(handle(index)), SETRTS);
}
void SerialPorts::clear_rts(int index) {
    escape(as_handle(handle(index)), CLRRTS);
}
void SerialPorts::flush_rx(int index) {
    purge(as_handle(handle(index)), PURGE_RXCLEAR | PURGE_RXABORT);
}
void SerialPorts::flush_tx(int index) {
    purge(as_handle(handle(index)), PURGE_TXCLEAR | PURGE_TXABORT);
}
void SerialPorts::flush_both(int index) {
    flush_rx(index);
    flush_tx(index);
}
