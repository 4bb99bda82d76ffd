// The look at /sys and /dev for a QN718 that this user may not open, on folders of our own.
#include <gtest/gtest.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
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
    ~FakeTree() { std::system(("rm -rf '" + root + "'").c_str()); }

    void write(const std::string& path, const std::string& text, mode_t mode = 0644) const {
        const std::string full = root + path;
        std::system(("mkdir -p -m 755 '" + full.substr(0, full.rfind('/')) + "'").c_str());
        std::ofstream(full) << text;
        chmod(full.c_str(), mode);
    }
    void hidraw(const std::string& name, const std::string& hid_id, bool node,
                mode_t node_mode) const {
        write("/sys/class/hidraw/" + name + "/device/uevent",
              "DRIVER=hid-generic\nHID_ID=" + hid_id + "\nHID_NAME=Test\n");
        if (node)
            write("/dev/" + name, "", node_mode);
    }
};

// Root opens any file, so the check runs in a child that gives up root first.
std::string check_as_user(const std::string& root) {
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(pipe_ends[0]);
        if (geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(2);
        }
        const auto problem = find_hid_access_problem(0x12AA, root);
        const std::string text =
            problem ? problem->device_node + (problem->rule_installed ? " rule" : " no rule")
                    : "none";
        if (write(pipe_ends[1], text.data(), text.size()) < 0)
            _exit(3);
        _exit(0);
    }
    close(pipe_ends[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = read(pipe_ends[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed";
}

constexpr const char* kQn718 = "0003:000012AA:0000F1C9";
constexpr const char* kRule =
    "KERNEL==\"hidraw*\", ATTRS{idVendor}==\"12aa\", MODE=\"0660\", TAG+=\"uaccess\"\n";

}  // namespace

TEST(HidAccess, NamesTheFirstQn718NodeThatRefusesAndWhetherARuleExists) {
    struct Case {
        const char* what;
        std::function<void(const FakeTree&)> build;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {"no hidraw class at all", [](const FakeTree&) {}, "none"},
        {"a foreign vendor's node refuses, the QN718 opens",
         [](const FakeTree& t) {
             t.hidraw("hidraw0", "0003:0000046D:0000C52B", true, 0);
             t.hidraw("hidraw1", kQn718, true, 0666);
         },
         "none"},
        {"QN718 refuses, no rule",
         [](const FakeTree& t) {
             t.hidraw("hidraw0", "0003:0000046D:0000C52B", true, 0666);
             t.hidraw("hidraw1", kQn718, true, 0);
         },
         "/dev/hidraw1 no rule"},
        {"QN718 refuses, rule installed with the package",
         [](const FakeTree& t) {
             t.hidraw("hidraw1", "0003:000012aa:0000F1F7", true, 0);
             t.write("/usr/lib/udev/rules.d/70-qn718.rules", std::string("# ours\n") + kRule);
         },
         "/dev/hidraw1 rule"},
        {"a commented-out rule and a rule for another vendor do not count",
         [](const FakeTree& t) {
             t.hidraw("hidraw1", kQn718, true, 0);
             t.write("/etc/udev/rules.d/70-qn718.rules", std::string("# ") + kRule);
             t.write("/etc/udev/rules.d/50-other.rules", "ATTRS{idVendor}==\"046d\"\n");
             t.write("/etc/udev/rules.d/60-notes.txt", kRule);
         },
         "/dev/hidraw1 no rule"},
        {"listed but without a node (unplugged while looking)",
         [](const FakeTree& t) { t.hidraw("hidraw2", kQn718, false, 0); }, "none"},
        {"hidraw2 is named before hidraw10",
         [](const FakeTree& t) {
             t.hidraw("hidraw10", kQn718, true, 0);
             t.hidraw("hidraw2", kQn718, true, 0);
         },
         "/dev/hidraw2 no rule"},
        {"malformed HID_ID",
         [](const FakeTree& t) {
             t.write("/sys/class/hidraw/hidraw0/device/uevent", "HID_ID=0003:12AA\n");
             t.write("/dev/hidraw0", "", 0);
         },
         "none"},
    };
    for (const Case& c : cases) {
        const FakeTree tree;
        c.build(tree);
        EXPECT_EQ(check_as_user(tree.root), c.expected) << c.what;
    }
}
