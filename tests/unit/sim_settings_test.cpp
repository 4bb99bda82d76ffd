// The demo's device comes from environment variables and keeps its memory in a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "sim/environment.h"
#include "sim/memory_file.h"
#include "sim/sim_control.h"

namespace {

// The settings for "NAME=value;..." (HOME, or QN718_SIM_ names without the prefix) in one line.
std::string settings_from(const std::string& assignments) {
    std::map<std::string, std::string> variables;
    std::istringstream in(assignments);
    for (std::string item; std::getline(in, item, ';');) {
        const std::string name = item.substr(0, item.find('='));
        variables[name == "HOME" ? name : "QN718_SIM_" + name] = item.substr(name.size() + 1);
    }
    const sim::DemoSettings s = sim::read_demo_settings([&](const char* name) -> const char* {
        const auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    });
    return std::string(s.plugged ? "plugged" : "unplugged") + " product " +
           std::to_string(static_cast<int>(s.product)) + " type " + std::to_string(s.type_code) +
           " fw " + std::to_string(s.firmware_number) + " sub " +
           (s.sub_version_silent
                ? "silent"
                : std::to_string(s.sub_version_a) + "," + std::to_string(s.sub_version_b)) +
           " status " + s.status_sequence + " memory '" + s.memory_file + "'" +
           (s.live_motion ? " moving" : " still") + (s.log_lines ? " logging" : "");
}

TEST(SimEnvironment, EveryVariableAndBadValuesThatKeepTheDefaults) {
    const std::string defaults =
        "plugged product 0 type 718 fw 22 sub 1,4 status 1 memory '' moving";
    EXPECT_EQ(
        settings_from("HOME=/home/u"),
        "plugged product 0 type 718 fw 22 sub 1,4 status 1 memory '/home/u/.qn718-sim-memory' "
        "moving");
    EXPECT_EQ(settings_from("HOME=/home/u;PRODUCT=usbic;TYPE=717;FIRMWARE=21;SUBVERSION=3,250;"
                            "STATUS=221;MEMORY_FILE=;MOTION=0;LOG_LINES=1"),
              "plugged product 2 type 717 fw 21 sub 3,250 status 221 memory '' still logging");
    EXPECT_EQ(settings_from("PRODUCT=none;SUBVERSION=silent"),
              "unplugged product 0 type 718 fw 22 sub silent status 1 memory '' moving");
    for (const char* bad : {"", "PRODUCT=LONG", "FIRMWARE=-1", "SUBVERSION=1,256", "SUBVERSION=7",
                            "STATUS=", "MOTION=yes", "LOG_LINES=2", "TYPE=", "TYPE=12a", "TYPE= 5",
                            "TYPE=0x10", "TYPE=65536", "TYPE=99999999999999999999"}) {
        EXPECT_EQ(settings_from(bad), defaults) << bad;
    }
}

TEST(SimMemoryFile, SurvivesARestartAndABadFileIsIgnored) {
    const std::string path = ::testing::TempDir() + "sim_memory_test.bin";
    sim::reset();
    sim::MemoryWindow written{};
    for (size_t i = 0; i < written.size(); ++i)
        written[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(sim::save_memory_file(path, written));
    sim::set_memory_file(path);  // loads at once
    EXPECT_EQ(sim::memory_byte(0x201), written[1]);
    EXPECT_EQ(sim::memory_byte(0x3FF), written[0x1FF]);

    std::ofstream(path, std::ios::binary) << "too short";
    sim::MemoryWindow memory = sim::default_memory();
    EXPECT_FALSE(sim::load_memory_file(path, memory));
    EXPECT_EQ(memory, sim::default_memory());
    std::remove(path.c_str());
    EXPECT_FALSE(sim::load_memory_file(path, memory));
    sim::reset();
}

}  // namespace
