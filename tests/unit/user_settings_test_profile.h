// A throw-away profile folder for tests that read or write the settings file, with the
// environment (profile folder, locale) restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/user_settings.h"
#include "platform/files.h"
#include "support/test_system.h"

class TestProfile : public ::testing::Test {
   protected:
    void SetUp() override {
        for (const char* name : {"USERPROFILE", "HOME", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            saved_env_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            set_environment(name, nullptr);
        }
        folder_ = make_temp_folder("qn718-");
        ASSERT_FALSE(folder_.empty());
        set_environment("USERPROFILE", folder_.c_str());
        set_environment("HOME", folder_.c_str());
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_env_)
            set_environment(name.c_str(), value ? value->c_str() : nullptr);
        if (!folder_.empty())
            std::filesystem::remove_all(folder_);
    }

    std::string settings_path() const { return folder_ + "/" + kUserSettingsFileName; }
    bool settings_file_exists() const { return std::filesystem::exists(settings_path()); }
    std::string read_settings_file() const {
        std::string bytes;
        EXPECT_TRUE(read_whole_file(settings_path(), 1 << 20, bytes));
        return bytes;
    }
    void write_settings_file(const std::string& bytes) const {
        ASSERT_TRUE(write_whole_file(settings_path(), bytes));
    }

    std::string folder_;

   private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_env_;
};
