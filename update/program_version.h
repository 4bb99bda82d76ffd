// The program's own version and the version the update server offers.
#pragma once

#include <string>
#include <string_view>

struct ProgramVersion {
    int major = 0;
    int minor = 0;
    int patch = 0;
};

constexpr ProgramVersion kOwnVersion{2, 20, 0};
// The model name in the server's file names.
constexpr const char* kUpdateModelName = "QN718";

// "VERSION" followed by three dot-separated decimal numbers, blanks allowed before each number
// (as scanf's "VERSION %d.%d.%d" reads it); anything may follow. Numbers must fit an int and
// not be negative.
bool parse_version_body(std::string_view body, ProgramVersion& version);

// Only the first two numbers count: any other pair, higher or lower, is another version.
bool is_own_version(const ProgramVersion& offered);
// The installer the server keeps for a version is always its ".0" release.
ProgramVersion installer_version(const ProgramVersion& offered);

std::string version_query_path();
std::string installer_download_path(const ProgramVersion& version);
