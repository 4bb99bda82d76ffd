#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/language.h"
#include "app/language_choice.h"
#include "app/user_settings.h"
#include "user_settings_test_profile.h"

using namespace std::string_literals;

namespace {

class LanguageChoice : public TestProfile {
   protected:
    // The language chosen for these arguments with this stored language.
    int choose(const char* stored, std::vector<const char*> args) {
        settings_.language = stored;
        args.insert(args.begin(), "/opt/qn718/qn718-programmer");
        return choose_language(static_cast<int>(args.size()), args.data(), settings_);
    }

    UserSettings settings_;
};

TEST_F(LanguageChoice, RequestBeatsStoredLanguageWhichBeatsLocale) {
    // A "--lang" with nothing after it is no request: the stored language stands.
    EXPECT_EQ(choose("pl", {"tarvel", "--lang"}), kPolish);
    EXPECT_EQ(settings_.language, "pl");
    EXPECT_FALSE(settings_file_exists()) << "only a request is written at once";
    EXPECT_EQ(choose("", {"--lang", "cs", "--lang", "sk"}), kCzech);

    // Windows takes the locale from the user's account when the program starts, not from LANG.
#ifndef _WIN32
    set_environment("LANG", "cs_CZ");
    EXPECT_EQ(choose("pl", {"--lang", "sk"}), kSlovak);
    EXPECT_EQ(choose("pl", {}), kPolish);
    EXPECT_EQ(choose("", {}), kCzech);
    EXPECT_EQ(settings_.language, "cs_CZ");  // kept whole, only matched by its language
    set_environment("LANG", "pl_PL.UTF-8");
    EXPECT_EQ(choose("", {}), kPolish);
#endif
}

TEST_F(LanguageChoice, UnknownOrMissingLanguageGivesEnglish) {
    EXPECT_EQ(choose("de", {}), kEnglish);
    EXPECT_EQ(settings_.language, "de");
    EXPECT_EQ(choose("", {}), kEnglish);
    // Only the part before "_" is compared: "sk" must not match "skx".
    EXPECT_EQ(choose("", {"--lang", "skx_SK"}), kEnglish);
}

TEST_F(LanguageChoice, RequestRewritesSettingsFileKeepingEverythingElse) {
    const std::string filters = "a1\0"s + std::string(23, '\0') + "b2\0"s;
    write_settings_file("\0pl\0/fw\0/logs\0/cfg\0"s + filters);
    settings_ = load_user_settings();
    EXPECT_EQ(choose("pl", {"--lang", "sk"}), kSlovak);
    EXPECT_EQ(read_settings_file(), "\0sk\0/fw\0/logs\0/cfg\0"s + filters);
}

TEST(LanguageRestart, CommandLineQuotesPathAndCarriesHiddenSwitchAndLanguage) {
    const std::string path = "C:\\Program Files (x86)\\Quarnell\\qn718.exe";
    EXPECT_EQ(restart_command_line(path, false, "en"), "\"" + path + "\" --lang en");
    EXPECT_EQ(restart_command_line(path, true, "en"), "\"" + path + "\" tarvel --lang en");
    EXPECT_EQ(restart_command_line(path, true, nullptr), "\"" + path + "\" tarvel");
    EXPECT_EQ(restart_command_line(std::string(1200, 'p'), false, "pl").size(),
              kMaxRestartCommandLine);
}

// The new copy is started for real: a script in place of the program records its arguments.
TEST_F(LanguageChoice, SwitchingLanguageStartsANewCopyAndEndsEvenWhenItCannotStart) {
#ifdef _WIN32
    // A death test on Windows runs this body again in a new process with a profile folder of
    // its own, so the record goes where both processes look.
    const std::string record =
        (std::filesystem::temp_directory_path() / "qn718-restart-arguments").u8string();
    std::filesystem::remove(record);
    const std::string script = folder_ + "\\fake-programmer.cmd";
    std::ofstream(script) << "@echo %*> \"" << record << ".tmp\"\r\n@move /y \"" << record
                          << ".tmp\" \"" << record << "\" >nul\r\n";
#else
    const std::string record = folder_ + "/arguments";
    const std::string script = folder_ + "/fake-programmer";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" > \"" << record << ".tmp\" && mv \"" << record
                          << ".tmp\" \"" << record << "\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
#endif
    const ProgramStart start{script, true};
    // The current language: no restart, or the test program would end.
    switch_language(start, kPolish, "pl");
    EXPECT_EXIT(switch_language(start, kPolish, "en"), ::testing::ExitedWithCode(0), "");
    std::string arguments;
    for (int i = 0; i < 500 && arguments.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::getline(std::ifstream(record), arguments);
    }
    EXPECT_EQ(arguments, "tarvel --lang en");

    EXPECT_EXIT(restart_program({"/nonexistent/qn718-programmer", false}, nullptr),
                ::testing::ExitedWithCode(0), "");
}

}  // namespace
