// The per-user settings file ".qn718rc": the choices that outlive a restart.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

constexpr int kFilterStringCount = 25;
constexpr size_t kFilterStringMaxLength = 49;
// Longer files are read only this far.
constexpr size_t kUserSettingsMaxBytes = 4995;
constexpr const char* kUserSettingsFileName = ".qn718rc";

struct UserSettings {
    uint8_t update_check = 1;  // 0 off, anything else on
    std::string language;      // empty: the user's locale decides
    // Folders last used in the file choosers; empty when none.
    std::string last_firmware_folder;
    std::string last_log_folder;
    std::string last_config_folder;
    std::array<std::string, kFilterStringCount> filter_strings;
};

// File layout: the preference byte, then language, the three folders and the filter strings,
// each followed by a NUL.
std::string encode_user_settings(const UserSettings& settings);
// Never fails: missing strings are empty, an empty buffer gives the defaults.
UserSettings decode_user_settings(const std::string& bytes);

// A missing or unreadable file gives the defaults, without a message.
UserSettings load_user_settings();
// Write errors are ignored: the values stay in memory for this run.
void save_user_settings(const UserSettings& settings);
