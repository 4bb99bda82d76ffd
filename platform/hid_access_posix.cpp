#include "platform/hid_access.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/files.h"

namespace {

constexpr size_t kMaxUevent = 4096;
constexpr size_t kMaxRulesFile = 65536;

std::string joined(const std::string& root, const std::string& path) {
    if (root.empty() || root == "/")
        return path;
    return (root.back() == '/' ? root.substr(0, root.size() - 1) : root) + path;
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    }
    closedir(dir);
    // hidraw10 after hidraw9, so that the report names the same node on every scan.
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    return names;
}

// HID_ID=0003:000012AA:0000F1C9 (bus, vendor, product); true when the vendor matches.
bool uevent_names_vendor(const std::string& uevent, uint16_t vendor_id) {
    const size_t at = uevent.find("HID_ID=");
    if (at == std::string::npos)
        return false;
    unsigned bus = 0;
    unsigned vendor = 0;
    unsigned product = 0;
    if (std::sscanf(uevent.c_str() + at + 7, "%x:%x:%x", &bus, &vendor, &product) != 3)
        return false;
    return vendor == vendor_id;
}

// EACCES and EPERM mean "not yours"; a node that is missing or busy is another story.
bool refused_to_this_user(const std::string& node) {
    const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return false;
    }
    return errno == EACCES || errno == EPERM;
}

std::string lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool rule_for_vendor_installed(const std::string& root, uint16_t vendor_id) {
    char vendor[8];
    std::snprintf(vendor, sizeof vendor, "\"%04x\"", vendor_id);
    // udev's own search order; a rule in any of them applies.
    for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d",
                               "/lib/udev/rules.d", "/usr/local/lib/udev/rules.d"}) {
        const std::string path = joined(root, folder);
        for (const std::string& name : folder_entries(path)) {
            if (name.size() < 6 || name.compare(name.size() - 6, 6, ".rules") != 0)
                continue;
            std::string text;
            if (!read_whole_file(path + "/" + name, kMaxRulesFile, text))
                continue;
            text = lower(text);
            size_t line_start = 0;
            while (line_start < text.size()) {
                size_t line_end = text.find('\n', line_start);
                if (line_end == std::string::npos)
                    line_end = text.size();
                const std::string line = text.substr(line_start, line_end - line_start);
                if (line.find("idvendor") != std::string::npos &&
                    line.find(vendor) != std::string::npos && line[0] != '#') {
                    return true;
                }
                line_start = line_end + 1;
            }
        }
    }
    return false;
}

}  // namespace

std::optional<HidAccessProblem> find_hid_access_problem(uint16_t vendor_id,
                                                        const std::string& root) {
    const std::string class_folder = joined(root, "/sys/class/hidraw");
    for (const std::string& name : folder_entries(class_folder)) {
        std::string uevent;
        if (!read_whole_file(class_folder + "/" + name + "/device/uevent", kMaxUevent, uevent) ||
            !uevent_names_vendor(uevent, vendor_id)) {
            continue;
        }
        const std::string node = "/dev/" + name;
        if (refused_to_this_user(joined(root, node)))
            return HidAccessProblem{node, rule_for_vendor_installed(root, vendor_id)};
    }
    return std::nullopt;
}
