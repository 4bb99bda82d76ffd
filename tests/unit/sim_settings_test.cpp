// The demo's device comes from environment variables and keeps its memory in a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include "sim/environment.h"
#include "sim/memory_file.h"
#include "sim/sim_control.h"

namespace {

sim::DemoSettings settings_from(const std::map<std::string, std::string>& variables) {
    return sim::read_demo_settings([&variables](const char* name) -> const char* {
        const auto it = variables.find(name);
        return it == variables.end() ? nullptr : it->second.c_str();
    });
}

TEST(SimEnvironment, DefaultsAreAHealthyMovingDeviceWithMemoryInHome) {
    const sim::DemoSettings s = settings_from({{"HOME", "/home/u"}});
    EXPECT_TRUE(s.plugged);
    EXPECT_EQ(s.product, sim::Product::programmer_long);
    EXPECT_EQ(s.type_code, 718);
    EXPECT_EQ(s.firmware_number, 22);
    EXPECT_FALSE(s.sub_version_silent);
    EXPECT_EQ(s.status_sequence, "1");
    EXPECT_EQ(s.memory_file, "/home/u/.qn718-sim-memory");
    EXPECT_TRUE(s.live_motion);
    EXPECT_FALSE(s.log_lines);
    EXPECT_EQ(settings_from({}).memory_file, "");
}

TEST(SimEnvironment, ReadsEveryVariable) {
    const sim::DemoSettings s = settings_from({{"HOME", "/home/u"},
                                               {"QN718_SIM_PRODUCT", "usbic"},
                                               {"QN718_SIM_TYPE", "717"},
                                               {"QN718_SIM_FIRMWARE", "21"},
                                               {"QN718_SIM_SUBVERSION", "3,250"},
                                               {"QN718_SIM_STATUS", "221"},
                                               {"QN718_SIM_MEMORY_FILE", ""},
                                               {"QN718_SIM_MOTION", "0"},
                                               {"QN718_SIM_LOG_LINES", "1"}});
    EXPECT_EQ(s.product, sim::Product::usbic_short);
    EXPECT_EQ(s.type_code, 717);
    EXPECT_EQ(s.firmware_number, 21);
    EXPECT_EQ(s.sub_version_a, 3);
    EXPECT_EQ(s.sub_version_b, 250);
    EXPECT_EQ(s.status_sequence, "221");
    EXPECT_EQ(s.memory_file, "");  // set but empty: no file
    EXPECT_FALSE(s.live_motion);
    EXPECT_TRUE(s.log_lines);
    EXPECT_FALSE(settings_from({{"QN718_SIM_PRODUCT", "none"}}).plugged);
    EXPECT_TRUE(settings_from({{"QN718_SIM_SUBVERSION", "silent"}}).sub_version_silent);
}

TEST(SimEnvironment, BadValuesKeepTheDefaults) {
    const sim::DemoSettings s = settings_from({{"QN718_SIM_PRODUCT", "LONG"},
                                               {"QN718_SIM_TYPE", "65536"},
                                               {"QN718_SIM_FIRMWARE", "-1"},
                                               {"QN718_SIM_SUBVERSION", "1,256"},
                                               {"QN718_SIM_STATUS", ""},
                                               {"QN718_SIM_MOTION", "yes"},
                                               {"QN718_SIM_LOG_LINES", "2"}});
    EXPECT_TRUE(s.plugged);
    EXPECT_EQ(s.product, sim::Product::programmer_long);
    EXPECT_EQ(s.type_code, 718);
    EXPECT_EQ(s.firmware_number, 22);
    EXPECT_EQ(s.sub_version_a, 1);
    EXPECT_EQ(s.sub_version_b, 4);
    EXPECT_EQ(s.status_sequence, "1");
    EXPECT_TRUE(s.live_motion);
    EXPECT_FALSE(s.log_lines);
    for (const char* text : {"", "12a", " 5", "0x10", "99999999999999999999"}) {
        EXPECT_EQ(settings_from({{"QN718_SIM_TYPE", text}}).type_code, 718) << text;
    }
    EXPECT_EQ(settings_from({{"QN718_SIM_SUBVERSION", "7"}}).sub_version_a, 1);
}

class SimMemoryFile : public ::testing::Test {
   protected:
    void SetUp() override { sim::reset(); }
    void TearDown() override {
        sim::reset();
        std::remove(path_.c_str());
    }
    std::string path_ = ::testing::TempDir() + "sim_memory_test.bin";
};

TEST_F(SimMemoryFile, SurvivesARestart) {
    sim::MemoryWindow written{};
    for (size_t i = 0; i < written.size(); ++i)
        written[i] = static_cast<uint8_t>(i * 7);
    ASSERT_TRUE(sim::save_memory_file(path_, written));
    sim::MemoryWindow read{};
    ASSERT_TRUE(sim::load_memory_file(path_, read));
    EXPECT_EQ(read, written);

    sim::set_memory_file(path_);  // loads at once
    EXPECT_EQ(sim::memory_byte(0x201), written[1]);
    EXPECT_EQ(sim::memory_byte(0x3FF), written[0x1FF]);
}

TEST_F(SimMemoryFile, MissingOrWrongSizedFileLeavesMemoryAlone) {
    sim::MemoryWindow memory = sim::default_memory();
    EXPECT_FALSE(sim::load_memory_file(path_, memory));
    {
        std::ofstream out(path_, std::ios::binary);
        out << "too short";
    }
    EXPECT_FALSE(sim::load_memory_file(path_, memory));
    EXPECT_EQ(memory, sim::default_memory());
    sim::set_memory_file(path_);
    EXPECT_EQ(sim::memory_byte(0x20B), 43);
}

}  // namespace
