// A throw-away profile folder for tests that read or write the settings file, with the
// environment (profile folder, locale) and the program-wide settings restored afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/language.h"
#include "app/user_settings.h"
#include "platform/files.h"

class TestProfile : public ::testing::Test {
   protected:
    void SetUp() override {
        for (const char* name : {"USERPROFILE", "HOME", "LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char* value = std::getenv(name);
            saved_env_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
        std::string pattern = (std::filesystem::temp_directory_path() / "qn718-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        setenv("USERPROFILE", folder_.c_str(), 1);
        setenv("HOME", folder_.c_str(), 1);
        reset_settings();
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_env_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
        if (!folder_.empty())
            std::filesystem::remove_all(folder_);
        reset_settings();
    }
    static void reset_settings() {
        user_settings() = UserSettings{};
        set_current_language(kEnglish);
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
