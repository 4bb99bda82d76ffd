// The ".cfg" configuration file: one "key=value" line per parameter, written with CR LF and
// read tolerantly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_record.h"

// Only this much of a longer file is read.
constexpr size_t kConfigFileMaxBytes = 8192;
// Longer lines are skipped whole rather than split into a bogus second line.
constexpr size_t kConfigLineMaxChars = 255;

struct ConfigLine {
    std::string key;
    std::string value;  // everything after the first "=", further "=" included
};

// Cuts the data at kConfigFileMaxBytes and splits it at LF, dropping every CR; lines without
// "=" and over-long lines are left out. A last line without LF counts like the others.
std::vector<ConfigLine> split_config_lines(std::string_view data);

// The ten lines, canlevel first, each ending in CR LF.
std::string encode_cfg(const ConfigRecord& record);

enum class CfgProblem {
    no_configuration_lines,  // not one line has a key of ours: nothing of the file is used
    // The level the file ends with is one the device must not get. A tool that writes the file
    // straight to the device refuses it; the page shows the text as written and its Save
    // refuses it then, as it refuses such a level typed by hand. record.can_level keeps the
    // base's level.
    bad_level,
};

struct CfgDecoded {
    std::optional<CfgProblem> problem;
    ConfigRecord record;     // the base with what the file gives
    std::string level_text;  // the last canlevel line's value, as written
    // What the file gave: the page takes these values as its new reference values. A choice
    // outside its list counts as not given.
    bool level_given = false;
    bool car_given = false;
    std::array<bool, kChoiceFieldCount> choice_given{};
};

// Every line whose key is ours applies, in file order, the last one of a key winning; values
// count by their leading digits, the level only when it is all digits (empty is 0). A level
// that moves away from the one before it drops the car number: the vehicle is then the first of
// that level unless a carnumber line follows. Out-of-range car numbers name no vehicle.
CfgDecoded decode_cfg(std::string_view text, const ConfigRecord& base);

// Appends ".cfg" unless the name already ends in ".cfg" or ".CFG" (".Cfg" gets a second one).
std::string with_config_extension(const std::string& name);
