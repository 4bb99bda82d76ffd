#include "platform/usb_serial.h"

#include "platform/utf16_win32.h"

#include <cstdio>

namespace {

// Closes a registry key on every way out.
class RegistryKey {
   public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_)
            RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    bool open(const std::wstring& path, REGSAM access) {
        return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, &key_) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

   private:
    HKEY key_ = nullptr;
};

}  // namespace

// The system's USB enumeration in the registry: one subkey per device instance, and the port
// name its serial driver chose under "Device Parameters". Without that key no driver has
// taken the device. The tree root of the header is the sysfs folder on Linux; the registry has
// none to move.
std::vector<UsbSerialDevice> find_usb_serial_devices(uint16_t vendor_id, uint16_t product_id,
                                                     const std::string&) {
    std::vector<UsbSerialDevice> devices;
    wchar_t usb_key[64];
    std::swprintf(usb_key, 64, L"SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_%04x&Pid_%04x",
                  vendor_id, product_id);
    RegistryKey usb;
    if (!usb.open(usb_key, KEY_READ))
        return devices;
    DWORD subkeys = 0;
    if (RegQueryInfoKeyW(usb.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return devices;
    for (DWORD i = 0; i < subkeys; ++i) {
        wchar_t name[101];
        DWORD name_length = 101;
        if (RegEnumKeyExW(usb.get(), i, name, &name_length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            continue;
        UsbSerialDevice device{to_utf8(name, name_length), ""};
        RegistryKey parameters;
        if (!parameters.open(std::wstring(usb_key) + L"\\" + name + L"\\Device Parameters",
                             KEY_QUERY_VALUE)) {
            devices.push_back(device);
            continue;
        }
        // A driver without a port name gives nothing to open: the next device may.
        wchar_t port[51] = {};
        DWORD size = sizeof port - sizeof port[0];
        DWORD type = 0;
        if (RegQueryValueExW(parameters.get(), L"PortName", nullptr, &type,
                             reinterpret_cast<BYTE*>(port), &size) != ERROR_SUCCESS ||
            type != REG_SZ || port[0] == L'\0')
            continue;
        device.tty = to_utf8(port);
        devices.push_back(device);
    }
    return devices;
}
