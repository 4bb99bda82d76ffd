#include <dirent.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "platform/usb_serial.h"

namespace {

std::vector<std::string> folder_entries(const std::string& path) {
    std::vector<std::string> names;
    DIR* folder = opendir(path.c_str());
    if (!folder)
        return names;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

bool has_id(const std::string& device, const char* file, uint16_t id) {
    std::ifstream in(device + "/" + file);
    std::string text;
    if (!(in >> text))
        return false;
    char wanted[8];
    std::snprintf(wanted, sizeof wanted, "%04x", id);
    return text == wanted;
}

bool starts_with(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// The ACM driver puts its port under "tty/", the USB serial drivers put it straight into the
// interface's folder.
std::string interface_tty(const std::string& interface) {
    for (const std::string& name : folder_entries(interface + "/tty")) {
        if (starts_with(name, "tty"))
            return name;
    }
    for (const std::string& name : folder_entries(interface)) {
        if (starts_with(name, "tty") && name != "tty")
            return name;
    }
    return "";
}

}  // namespace

std::vector<UsbSerialDevice> find_usb_serial_devices(uint16_t vendor_id, uint16_t product_id,
                                                     const std::string& root) {
    std::vector<UsbSerialDevice> found;
    const std::string devices = root + "/bus/usb/devices";
    for (const std::string& name : folder_entries(devices)) {
        // Interfaces ("1-1:1.0") are listed beside the devices; they carry no ids.
        if (name.find(':') != std::string::npos)
            continue;
        const std::string device = devices + "/" + name;
        if (!has_id(device, "idVendor", vendor_id) || !has_id(device, "idProduct", product_id))
            continue;
        UsbSerialDevice entry{name, ""};
        for (const std::string& child : folder_entries(device)) {
            if (!starts_with(child, name + ":"))
                continue;
            entry.tty = interface_tty(device + "/" + child);
            if (!entry.tty.empty())
                break;
        }
        found.push_back(entry);
    }
    return found;
}
