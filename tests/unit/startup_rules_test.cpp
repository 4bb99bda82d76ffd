#include <gtest/gtest.h>

#include "app/hidden_switch.h"
#include "app/single_instance.h"
#include "app/window_size_rule.h"

TEST(WindowSize, EveryMonitorMustHoldTheFixedArea) {
    EXPECT_TRUE(fits_fixed_size({{1010, 670}}));
    EXPECT_TRUE(fits_fixed_size({{1920, 1080}, {1010, 670}}));
    EXPECT_FALSE(fits_fixed_size({{1920, 1080}, {1009, 1000}}));
    EXPECT_FALSE(fits_fixed_size({{1920, 669}}));
    EXPECT_TRUE(fits_fixed_size({})) << "no monitor information: both minima stay at 10000";

    // The height follows the page, from 670 up to what the smallest screen leaves.
    EXPECT_EQ(main_area_height(600, {{1280, 1024}}, 40), 670);
    EXPECT_EQ(main_area_height(703, {{1280, 1024}}, 40), 703);
    EXPECT_EQ(main_area_height(703, {{1920, 1080}, {1280, 720}}, 40), 680);
    EXPECT_EQ(main_area_height(703, {{1010, 670}}, 40), 670) << "never below the least";
    EXPECT_EQ(main_area_height(703, {}, 40), 703);
}

TEST(SingleInstance, TheSecondMatchIsAnotherCopy) {
    EXPECT_EQ(program_file_name("C:\\Program Files\\Q\\qn718.exe"), "qn718.exe");
    EXPECT_EQ(program_file_name("/usr/bin/qn718-programmer"), "qn718-programmer");
    EXPECT_EQ(program_file_name("qn718-programmer"), "qn718-programmer");

    EXPECT_FALSE(another_copy_running({"bash", "qn718-programmer"}, "qn718-programmer"));
    EXPECT_TRUE(
        another_copy_running({"qn718-programmer", "bash", "qn718-programmer"}, "qn718-programmer"));
    EXPECT_FALSE(another_copy_running({"QN718-PROGRAMMER", "qn718-programmer"}, "qn718-programmer"))
        << "the comparison is case-sensitive";
    EXPECT_FALSE(another_copy_running({"a", "b"}, ""));
}

TEST(HiddenSwitch, OnlyAWholeArgumentAfterTheProgramName) {
    const char* with[] = {"prog", "--lang", "pl", "tarvel"};
    EXPECT_TRUE(has_hidden_switch_argument(4, const_cast<char**>(with)));
    const char* as_name[] = {"tarvel", "x"};
    EXPECT_FALSE(has_hidden_switch_argument(2, const_cast<char**>(as_name)));
    const char* partial[] = {"prog", "tarvel2", "xtarvel", "Tarvel"};
    EXPECT_FALSE(has_hidden_switch_argument(4, const_cast<char**>(partial)));
}
