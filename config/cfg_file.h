// The ".cfg" configuration file: one "key=value" line per parameter, written with CR LF and
// read tolerantly. The readers and writers act on the page through ConfigPageAccess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_page_access.h"
#include "config/config_record.h"

// Only this much of a longer file is read.
constexpr size_t kConfigFileMaxBytes = 8192;
// Longer lines are skipped whole rather than split into a bogus second line.
constexpr size_t kConfigLineMaxChars = 255;

struct ConfigKeyEntry {
    const char* key;  // null ends the table
    // Applies the value text to the page and its reference record.
    void (*reader)(ConfigPageAccess& page, const ConfigKeyEntry& entry, const std::string& value);
    // Takes the value from the page (and, for the fields, makes it the reference).
    int32_t (*writer)(ConfigPageAccess& page, const ConfigKeyEntry& entry);
    ChoiceField field;  // choice keys only
};

// In writing order; the last entry has no key.
extern const ConfigKeyEntry ConfigKeyTable[];

struct ConfigLine {
    std::string key;
    std::string value;  // everything after the first "=", further "=" included
};

// Cuts the data at kConfigFileMaxBytes and splits it at LF, dropping every CR; lines without
// "=" and over-long lines are left out. A last line without LF counts like the others.
std::vector<ConfigLine> split_config_lines(std::string_view data);

// The text of the whole file, taken from the page, each line ending in CR LF.
std::string write_config_text(ConfigPageAccess& page);
// Applies every line whose key is in the table, in file order; other lines are ignored.
void read_config_text(ConfigPageAccess& page, std::string_view data);

// Appends ".cfg" unless the name already ends in ".cfg" or ".CFG" (".Cfg" gets a second one).
std::string with_config_extension(const std::string& name);
