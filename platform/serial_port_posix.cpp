#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "platform/serial_port.h"

namespace {

// Linux names serial devices by driver family; 64 numbers of each of the four families a CAN
// analyzer or a plain serial port can appear as fill the 256 indices.
constexpr const char* kFamilies[] = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA"};
constexpr int kPortsPerFamily = kSerialPortCount / 4;
constexpr int kWriteTimeoutMs = 300;

speed_t speed_constant(int baud) {
    switch (baud) {
        case 110:
            return B110;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
#ifdef B500000
        case 500000:
            return B500000;
#endif
#ifdef B1000000
        case 1000000:
            return B1000000;
#endif
        default:
            return B0;  // 128000 and 256000 have no termios speed
    }
}

bool fill_termios(int fd, const SerialSettings& settings, termios& options) {
    const speed_t speed = speed_constant(settings.baud);
    if (speed == B0 || tcgetattr(fd, &options) != 0)
        return false;
    cfmakeraw(&options);
    cfsetispeed(&options, speed);
    cfsetospeed(&options, speed);
    options.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    options.c_cflag |= CLOCAL | CREAD;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    options.c_cflag |= sizes[settings.data_bits - 5];
    if (settings.parity != 'n')
        options.c_cflag |= PARENB | (settings.parity == 'o' ? PARODD : 0);
    if (settings.stop_bits == 2)
        options.c_cflag |= CSTOPB;
    // A read returns at once with whatever has arrived.
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = 0;
    return true;
}

void change_modem_lines(int fd, int request, int lines) {
    if (fd >= 0)
        ioctl(fd, request, &lines);
}

bool modem_line(int fd, int line) {
    int status = 0;
    return fd >= 0 && ioctl(fd, TIOCMGET, &status) == 0 && (status & line) != 0;
}

void flush(int fd, int queue) {
    if (fd >= 0)
        tcflush(fd, queue);
}

}  // namespace

std::string serial_port_name(int index) {
    if (index < 0 || index >= kSerialPortCount)
        return "";
    return kFamilies[index / kPortsPerFamily] + std::to_string(index % kPortsPerFamily);
}

// A closed index forgets its descriptor: unlike a system handle kept after closing, a stale
// descriptor number would soon name another file (a socket, say).
SerialPorts::SerialPorts() : device_folder_("/dev") {
    handles_.fill(kNoPort);
}

int SerialPorts::open(int index, int baud, const char* mode) {
    SerialSettings settings;
    if (!accept_serial_open_request(index, baud, mode, settings))
        return 1;
    if (handles_[static_cast<size_t>(index)] != kNoPort)
        close(index);
    const std::string path = device_folder_ + "/" + serial_port_name(index);
    // Non-blocking, so that neither opening (carrier detect) nor writing can hang; the write
    // time-out is kept by waiting in poll instead.
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (fd >= 0)
            ::close(fd);
        std::printf("unable to open comport\n");
        return 1;
    }
    termios options{};
    if (!fill_termios(fd, settings, options)) {
        std::printf("unable to set comport dcb settings\n");
        ::close(fd);
        return 1;
    }
    if (tcsetattr(fd, TCSANOW, &options) != 0) {
        std::printf("unable to set comport cfg settings\n");
        ::close(fd);
        return 1;
    }
    // A pseudo-terminal or a USB port without modem lines refuses this; that is no failure.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ioctl(fd, TIOCMBIS, &lines);
    handles_[static_cast<size_t>(index)] = fd;
    return 0;
}

int SerialPorts::read(int index, uint8_t* buffer, int size) {
    const int fd = static_cast<int>(handle(index));
    if (fd < 0 || size <= 0)
        return 0;
    ssize_t n;
    do {
        n = ::read(fd, buffer, static_cast<size_t>(size));
    } while (n < 0 && errno == EINTR);
    return n > 0 ? static_cast<int>(n) : 0;
}

int SerialPorts::write(int index, const uint8_t* buffer, int size) {
    const int fd = static_cast<int>(handle(index));
    if (fd < 0 || size < 0)
        return -1;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    int written = 0;
    while (written < size) {
        const ssize_t n = ::write(fd, buffer + written, static_cast<size_t>(size - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd wait{fd, POLLOUT, 0};
        if (poll(&wait, 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
            return -1;
        if (wait.revents & (POLLERR | POLLNVAL))
            return -1;
    }
    return written;
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
    const int fd = static_cast<int>(handle(index));
    if (fd < 0)
        return;
    ::close(fd);
    handles_[static_cast<size_t>(index)] = kNoPort;
}

bool SerialPorts::dcd(int index) const {
    return modem_line(static_cast<int>(handle(index)), TIOCM_CAR);
}
bool SerialPorts::cts(int index) const {
    return modem_line(static_cast<int>(handle(index)), TIOCM_CTS);
}
bool SerialPorts::dsr(int index) const {
    return modem_line(static_cast<int>(handle(index)), TIOCM_DSR);
}
void SerialPorts::set_dtr(int index) {
    change_modem_lines(static_cast<int>(handle(index)), TIOCMBIS, TIOCM_DTR);
}
void SerialPorts::clear_dtr(int index) {
    change_modem_lines(static_cast<int>(handle(index)), TIOCMBIC, TIOCM_DTR);
}
void SerialPorts::set_rts(int index) {
    change_modem_lines(static_cast<int>(handle(index)), TIOCMBIS, TIOCM_RTS);
}
void SerialPorts::clear_rts(int index) {
    change_modem_lines(static_cast<int>(handle(index)), TIOCMBIC, TIOCM_RTS);
}
void SerialPorts::flush_rx(int index) {
    flush(static_cast<int>(handle(index)), TCIFLUSH);
}
void SerialPorts::flush_tx(int index) {
    flush(static_cast<int>(handle(index)), TCOFLUSH);
}
void SerialPorts::flush_both(int index) {
    flush(static_cast<int>(handle(index)), TCIFLUSH);
    flush(static_cast<int>(handle(index)), TCOFLUSH);
}
