// The Windows platform layer where it differs from POSIX: UTF-8 names through the wide API,
// the process list, the locale name, COM ports and the registry's USB serial devices. Built
// in the Windows build only.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "console/log_file.h"
#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/output_file.h"
#include "platform/processes.h"
#include "platform/profile_folder.h"
#include "platform/program_file.h"
#include "platform/serial_port.h"
#include "platform/usb_serial.h"
#include "platform/user_locale.h"
#include "support/test_system.h"

namespace {

// Czech and Japanese, outside every single-byte code page at once.
const std::string kName = "Zkou\u0161ka-\u65e5\u672c";

TEST(Win32Files, NamesOutsideAsciiReachTheSameFile) {
    const std::string folder = make_temp_folder("qn718-\u017elu\u0165-");
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "\\" + kName + ".cfg";
    const std::string bytes("a=1\r\nb\0c\n", 9);
    ASSERT_TRUE(write_whole_file(path, bytes));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(path)));
    std::string back;
    ASSERT_TRUE(read_whole_file(path, 100, back));
    EXPECT_EQ(back, bytes) << "no text-mode translation";

    OutputFile download;
    ASSERT_TRUE(download.create(folder + "\\" + kName + ".exe"));
    EXPECT_TRUE(download.write("MZ\n\r\n", 5));
    EXPECT_TRUE(download.close());
    ASSERT_TRUE(read_whole_file(folder + "\\" + kName + ".exe", 100, back));
    EXPECT_EQ(back, "MZ\n\r\n");

    // The console's log: appended to, never truncated, under the very name asked for.
    for (const char* text : {"first\n", "second\n"}) {
        LogFile log;
        ASSERT_TRUE(log.open(folder + "\\" + kName + ".log"));
        log.write(text);
    }
    ASSERT_TRUE(read_whole_file(folder + "\\" + kName + ".log", 100, back));
    EXPECT_EQ(back, "first\nsecond\n");

    std::vector<std::string> names;
    ASSERT_TRUE(list_folder(folder, 10, names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", kName + ".cfg", kName + ".exe",
                                               kName + ".log"}));
    std::filesystem::remove_all(std::filesystem::u8path(folder));

    // A profile folder named after its user.
    const std::string saved = profile_folder();
    set_environment("USERPROFILE", ("C:\\Users\\" + kName).c_str());
    EXPECT_EQ(profile_file(".qn718rc"), "C:\\Users\\" + kName + "\\.qn718rc");
    set_environment("USERPROFILE", saved.c_str());
}

TEST(Win32Processes, ListNamesThisProgramAndLocaleIsItsLanguageOnly) {
    const std::string own = own_program_file();
    ASSERT_FALSE(own.empty());
    const std::string own_name = own.substr(own.find_last_of('\\') + 1);
    const int pid = static_cast<int>(GetCurrentProcessId());
    const std::vector<RunningProgram> programs = running_programs();
    EXPECT_TRUE(std::any_of(programs.begin(), programs.end(), [&](const RunningProgram& p) {
        return p.pid == pid && p.name == own_name;
    })) << own_name;
    EXPECT_FALSE(start_process("C:\\nonexistent\\qn718-programmer.exe --lang en"));

    const std::string language = user_locale_language();
    EXPECT_EQ(language.find_first_of("-_"), std::string::npos) << language;
}

TEST(Win32Serial, ComNamesAndAPortThatDoesNotExist) {
    EXPECT_EQ(serial_port_name(0), "COM1");
    EXPECT_EQ(serial_port_name(255), "COM256");
    EXPECT_EQ(serial_port_index("COM3"), 2);
    EXPECT_EQ(serial_port_index("COM257"), -1);
    EXPECT_EQ(serial_port_index("com3"), -1);

    SerialPorts ports;
    testing::internal::CaptureStdout();
    EXPECT_EQ(ports.open(199, 115200, "8N1"), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unable to open comport\n");
    EXPECT_EQ(ports.read(199, nullptr, 0), 0);
    EXPECT_EQ(ports.write(199, reinterpret_cast<const uint8_t*>("x"), 1), -1);
}

// Two analyzers registered: one whose driver has made COM200, one without a driver. The
// registry of Wine's prefix is the test's own to change.
TEST(Win32Serial, RegistryGivesEachAnalyzerItsPortOrNone) {
    const wchar_t* usb = L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_7a7a&Pid_0001";
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE,
                              (std::wstring(usb) + L"\\5&1a&0&2\\Device Parameters").c_str(), 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t port[] = L"COM200";
    RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port), sizeof port);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(usb) + L"\\6&2b&0&1").c_str(), 0,
                              nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);

    const std::vector<UsbSerialDevice> found = find_usb_serial_devices(0x7a7a, 0x0001);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, usb);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].usb_name, "5&1a&0&2");
    EXPECT_EQ(found[0].tty, "COM200");
    EXPECT_EQ(found[1].usb_name, "6&2b&0&1");
    EXPECT_EQ(found[1].tty, "");
    EXPECT_TRUE(find_usb_serial_devices(0x7a7a, 0x0002).empty());
}

}  // namespace
