// The serial layer against pseudo-terminals, the analyzer search against fake device trees,
// and the relay's serial data through a pseudo-terminal standing in for the analyzer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/language.h"
#include "device/device_link.h"
#include "firmware/firmware_image.h"
#include "platform/serial_port.h"
#include "remote/remote_session.h"
#include "sim/sim_control.h"
#include "support/loopback_relay_peer.h"
#include "support/recording_remote_host.h"
#include "support/test_system.h"

namespace {

// A pseudo-terminal whose slave the device folder names as name.
struct Pty {
    int master = posix_openpt(O_RDWR | O_NOCTTY);

    Pty(const std::string& folder, const std::string& name) {
        if (master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0)
            symlink(ptsname(master), (folder + "/" + name).c_str());
    }
    ~Pty() { close_master(); }
    void close_master() {
        if (master >= 0)
            close(master);
        master = -1;
    }
    void write_text(const std::string& text) {
        ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // What arrives within 200 ms, and whatever follows it within 20 ms.
    std::string read_text() {
        std::string text;
        char buffer[256];
        pollfd p{master, POLLIN, 0};
        for (ssize_t n; poll(&p, 1, text.empty() ? 200 : 20) > 0 &&
                        (n = read(master, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
        return text;
    }
};

// A USB device of the fake tree, with its serial port's name or none.
void add_usb_device(const std::string& root, const std::string& name, const char* vendor,
                    const char* product, const std::string& tty, bool acm = true) {
    const std::string device = root + "/bus/usb/devices/" + name;
    const std::string interface = device + "/" + name + ":1.0";
    std::filesystem::create_directories(
        tty.empty() ? interface : interface + (acm ? "/tty/" : "/") + tty);
    std::ofstream(device + "/idVendor") << vendor << "\n";
    std::ofstream(device + "/idProduct") << product << "\n";
}

class SerialTest : public ::testing::Test {
   protected:
    void SetUp() override { ports_.set_device_folder(devices_); }
    void TearDown() override {
        std::filesystem::remove_all(devices_);
        std::filesystem::remove_all(tree_);
    }
    const std::string devices_ = make_temp_folder("qn718-serial-");
    const std::string tree_ = make_temp_folder("qn718-sysfs-");
    SerialPorts ports_;
};

TEST(SerialSettings, BuildsTheModeTextOrSaysWhichValueIsWrong) {
    struct Case {
        int baud;
        const char* mode;
        const char* result;  // the settings text, or the diagnostic
    };
    const Case cases[] = {
        {115200, "8N1", "baud=115200 data=8 parity=n stop=1 dtr=on rts=on"},
        {115200, "8n1", "baud=115200 data=8 parity=n stop=1 dtr=on rts=on"},
        {9600, "7E2", "baud=9600 data=7 parity=e stop=2 dtr=on rts=on"},
        {115201, "8N1", "invalid baudrate\n"},
        {9600, "8N", "invalid mode \"8N\"\n"},
        {9600, "9N1", "invalid number of data-bits '9'\n"},
        {9600, "8X1", "invalid parity 'X'\n"},
        {9600, "8N3", "invalid number of stop bits '3'\n"},
    };
    for (const Case& c : cases) {
        SerialSettings settings;
        std::string diagnostic;
        const bool made = make_serial_settings(c.baud, c.mode, settings, diagnostic);
        EXPECT_EQ(made ? settings.text : diagnostic, c.result) << c.baud << " " << c.mode;
    }
    SerialPorts ports;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ports.open(256, 115200, "8N1"), 1);
    EXPECT_EQ(ports.open(-1, 115200, "8N1"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "illegal comport number\nillegal comport number\n");
}

TEST(SerialPortIndex, NamesEveryIndexOnceAndNothingElse) {
    for (int index = 0; index < kSerialPortCount; ++index)
        ASSERT_EQ(serial_port_index(serial_port_name(index)), index);
    EXPECT_EQ(serial_port_index("ttyS2"), 2);
    for (const char* name : {"ttyS64", "TTYS2", ""})
        EXPECT_EQ(serial_port_index(name), -1) << name;
    EXPECT_EQ(serial_port_name(256), "");
}

TEST_F(SerialTest, AnOpenPortReadsAtOnceAndWritesThrough) {
    Pty pty(devices_, "ttyACM0");
    const int index = serial_port_index("ttyACM0");
    testing::internal::CaptureStdout();
    EXPECT_EQ(ports_.open(serial_port_index("ttyACM1"), 115200, "8N1"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unable to open comport\n");
    ASSERT_EQ(ports_.open(index, 115200, "8N1"), 0);

    uint8_t buffer[64];
    EXPECT_EQ(ports_.read(index, buffer, sizeof buffer), 0) << "nothing there: no wait";
    pty.write_text(std::string("\x00\x01@\xff", 4));
    usleep(20000);
    ASSERT_EQ(ports_.read(index, buffer, sizeof buffer), 4) << "raw bytes, no line discipline";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), std::string("\x00\x01@\xff", 4));
    EXPECT_EQ(ports_.write(index, reinterpret_cast<const uint8_t*>("ok\n"), 3), 3);
    ports_.puts(index, "AT");
    EXPECT_EQ(pty.read_text(), "ok\nAT");

    pty.close_master();
    EXPECT_EQ(ports_.write(index, reinterpret_cast<const uint8_t*>("x"), 1), -1);
    ports_.close(index);
    EXPECT_EQ(ports_.write(index, reinterpret_cast<const uint8_t*>("x"), 1), -1)
        << "a closed index names no descriptor any more";
}

TEST_F(SerialTest, TheAnalyzerSearchTakesTheFirstPortThatOpens) {
    AnalyzerPort analyzer;
    analyzer.set_device_tree_root(tree_);
    analyzer.set_serial_device_folder(devices_);
    EXPECT_EQ(analyzer.open(), AnalyzerSearch::not_found);

    add_usb_device(tree_, "1-1", "12aa", "f1c9", "ttyACM3");  // the QN718 itself
    add_usb_device(tree_, "1-2", "12aa", "4f58", "ttyACM1");  // no such device file
    add_usb_device(tree_, "1-3", "12aa", "4f58", "ttyUSB0", false);
    Pty pty(devices_, "ttyUSB0");
    testing::internal::CaptureStdout();
    EXPECT_EQ(analyzer.open(), AnalyzerSearch::opened);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(analyzer.state(), AnalyzerState::open);
    EXPECT_EQ(analyzer.index(), serial_port_index("ttyUSB0"));
    EXPECT_EQ(analyzer.open(), AnalyzerSearch::unchanged);
    analyzer.close();
    EXPECT_EQ(analyzer.state(), AnalyzerState::closed);
}

TEST_F(SerialTest, TheRelayCarriesSerialDataBothWaysUnchanged) {
    sim::reset();
    LoopbackRelayPeer peer;
    auto session = std::make_unique<RemoteSession>();
    session->analyzer.set_device_tree_root(tree_);
    session->analyzer.set_serial_device_folder(devices_);
    const auto image = std::make_unique<FirmwareImage>();
    DeviceLink link;
    RecordingRemoteHost host;
    ASSERT_EQ(log_in(*session, {"127.0.0.1", peer.port()}, "secret"), LoginResult::logged_in);
    ASSERT_TRUE(peer.wait_for_logins(1));
    const auto exchange = [&](const std::string& stream) {
        peer.send(stream);
        for (int i = 0; i < 3; ++i)
            relay_step(*session, link, *image, host);
        return peer.take(20);
    };

    // An analyzer without its driver: the server hears "@$", the user is told what to install.
    add_usb_device(tree_, "1-1", "12aa", "4f58", "");
    EXPECT_EQ(exchange("@#"), "@$");
    EXPECT_EQ(host.messages, std::vector<std::string>{
                                 "Install CAN analyzer driver. You can find it in\n"
                                 "c:\\Program Files (x86)\\Quarnell\\QN718\\can_analyzer.inf"});
    EXPECT_EQ(exchange("@#"), "@$") << "the next request searches again";

    std::filesystem::remove_all(tree_ + "/bus");
    add_usb_device(tree_, "1-1", "12aa", "4f58", "ttyACM0");
    Pty pty(devices_, "ttyACM0");
    testing::internal::CaptureStdout();
    EXPECT_EQ(exchange("@#"), "@#");
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(exchange("ab@@c@G"), bytes({'@', 'G', 0}));
    EXPECT_EQ(pty.read_text(), "ab@c");
    pty.write_text("x@y");
    EXPECT_EQ(exchange(""), "x@y") << "forwarded unframed, \"@\" not doubled";

    // A port that fails to take data releases everything and says so.
    pty.close_master();
    EXPECT_EQ(exchange("zz"), "@!");
    EXPECT_EQ(session->analyzer.state(), AnalyzerState::closed);
    finish_session(*session, link, true);
}

}  // namespace
