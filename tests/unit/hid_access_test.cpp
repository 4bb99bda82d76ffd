// The look at /sys and /dev for a QN718 that this user may not open, on folders of our own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/hid_access.h"

namespace {

struct FakeTree {
    std::string root;

    FakeTree() {
        std::string pattern = "/tmp/qn718-hidraw-XXXXXX";
        root = mkdtemp(pattern.data());
        // The check may run as an unprivileged user (see check_as_user), who must get in.
        chmod(root.c_str(), 0755);
    }
    ~FakeTree() { std::filesystem::remove_all(root); }

    void write(const std::string& path, const std::string& text, int mode = 0644) const {
        std::filesystem::create_directories(std::filesystem::path(root + path).parent_path());
        std::ofstream(root + path) << text;
        chmod((root + path).c_str(), static_cast<mode_t>(mode));
    }
};

// Root opens any file, so a run as root looks as nobody (open() goes by the effective user).
std::string check_as_user(const std::string& root) {
    const bool as_root = geteuid() == 0;
    if (as_root && seteuid(65534) != 0)
        return "seteuid failed";
    const auto problem = find_hid_access_problem(0x12AA, root);
    if (as_root && seteuid(0) != 0)
        std::abort();
    return problem ? problem->device_node + (problem->rule_installed ? " rule" : " no rule")
                   : "none";
}

constexpr const char* kQn718 = "0003:000012AA:0000F1C9";
constexpr const char* kOther = "0003:0000046D:0000C52B";
constexpr const char* kRule =
    "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"12aa\", MODE=\"0660\", TAG+=\"uaccess\"\n";

}  // namespace

TEST(HidAccess, NamesTheFirstQn718NodeThatRefusesAndWhetherARuleExists) {
    struct Node {
        const char* name;
        const char* hid_id;
        int mode;  // of its /dev node; -1 for none
    };
    struct Case {
        const char* what;
        std::vector<Node> nodes;
        std::vector<std::pair<const char*, std::string>> files;
        const char* expected;
    };
    const Case cases[] = {
        {"no hidraw class at all", {}, {}, "none"},
        {"a foreign vendor's node refuses, the QN718 opens",
         {{"hidraw0", kOther, 0}, {"hidraw1", kQn718, 0666}},
         {},
         "none"},
        {"QN718 refuses, no rule",
         {{"hidraw0", kOther, 0666}, {"hidraw1", kQn718, 0}},
         {},
         "/dev/hidraw1 no rule"},
        {"QN718 refuses, rule installed with the package",
         {{"hidraw1", "0003:000012aa:0000F1F7", 0}},
         {{"/usr/lib/udev/rules.d/70-qn718.rules", std::string("# ours\n") + kRule}},
         "/dev/hidraw1 rule"},
        {"a commented-out rule and a rule for another vendor do not count",
         {{"hidraw1", kQn718, 0}},
         {{"/etc/udev/rules.d/70-qn718.rules", std::string("# ") + kRule},
          {"/etc/udev/rules.d/50-other.rules", "ATTRS{idVendor}==\"046d\"\n"},
          {"/etc/udev/rules.d/60-notes.txt", kRule}},
         "/dev/hidraw1 no rule"},
        {"listed but without a node (unplugged while looking)",
         {{"hidraw2", kQn718, -1}},
         {},
         "none"},
        {"hidraw2 is named before hidraw10",
         {{"hidraw10", kQn718, 0}, {"hidraw2", kQn718, 0}},
         {},
         "/dev/hidraw2 no rule"},
        {"malformed HID_ID", {{"hidraw0", "0003:12AA", 0}}, {}, "none"},
    };
    for (const Case& c : cases) {
        const FakeTree tree;
        for (const Node& node : c.nodes) {
            tree.write(
                "/sys/class/hidraw/" + std::string(node.name) + "/device/uevent",
                "DRIVER=hid-generic\nHID_ID=" + std::string(node.hid_id) + "\nHID_NAME=Test\n");
            if (node.mode >= 0)
                tree.write("/dev/" + std::string(node.name), "", node.mode);
        }
        for (const auto& [path, text] : c.files)
            tree.write(path, text);
        EXPECT_EQ(check_as_user(tree.root), c.expected) << c.what;
    }
}
