#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/hidden_switch.h"
#include "app/language.h"
#include "app/language_choice.h"
#include "app/user_settings.h"
#include "user_settings_test_profile.h"

using namespace std::string_literals;

namespace {

class LanguageChoice : public TestProfile {
   protected:
    void TearDown() override {
        set_hidden_switch(false);
        TestProfile::TearDown();
    }

    int choose(std::vector<const char*> args) {
        args.insert(args.begin(), "/opt/qn718/qn718-programmer");
        return choose_language(static_cast<int>(args.size()), args.data());
    }
};

}  // namespace

TEST_F(LanguageChoice, RequestedCodeComesFromTheFirstLangThatHasAValue) {
    // A "--lang" with nothing after it is no request: the stored language stands.
    user_settings().language = "pl";
    EXPECT_EQ(choose({"tarvel", "--lang"}), kPolish);
    EXPECT_EQ(user_settings().language, "pl");
    EXPECT_FALSE(settings_file_exists());

    EXPECT_EQ(choose({"--lang", "cs", "--lang", "sk"}), kCzech);
    EXPECT_EQ(program_path(), "/opt/qn718/qn718-programmer");
}

TEST_F(LanguageChoice, RequestBeatsStoredLanguageWhichBeatsLocale) {
    setenv("LANG", "cs_CZ", 1);
    user_settings().language = "pl";
    EXPECT_EQ(choose({"--lang", "sk"}), kSlovak);

    user_settings().language = "pl";
    EXPECT_EQ(choose({}), kPolish);

    user_settings().language = "";
    EXPECT_EQ(choose({}), kCzech);
    EXPECT_EQ(user_settings().language, "cs_CZ");  // kept whole, only matched by its language
    EXPECT_EQ(lang_text(0), "ano"s);

    setenv("LANG", "pl_PL.UTF-8", 1);
    user_settings().language = "";
    EXPECT_EQ(choose({}), kPolish);
}

TEST_F(LanguageChoice, UnknownOrMissingLanguageGivesEnglish) {
    set_current_language(kCzech);
    user_settings().language = "de";
    EXPECT_EQ(choose({}), kEnglish);
    EXPECT_EQ(user_settings().language, "de");
    EXPECT_FALSE(settings_file_exists());  // only a request is written at once

    set_current_language(kCzech);
    user_settings().language = "";
    EXPECT_EQ(choose({}), kEnglish);
    EXPECT_EQ(user_settings().language, "");

    // Only the part before "_" is compared: "sk" must not match "s" or "skx".
    set_current_language(kCzech);
    EXPECT_EQ(choose({"--lang", "skx_SK"}), kEnglish);
}

TEST_F(LanguageChoice, RequestRewritesSettingsFileKeepingEverythingElse) {
    const std::string before =
        "\0pl\0/fw\0/logs\0/cfg\0"s + "a1\0"s + std::string(23, '\0') + "b2\0"s;
    write_settings_file(before);
    load_user_settings();

    EXPECT_EQ(choose({"--lang", "sk"}), kSlovak);

    const std::string after =
        "\0sk\0/fw\0/logs\0/cfg\0"s + "a1\0"s + std::string(23, '\0') + "b2\0"s;
    EXPECT_EQ(read_settings_file(), after);
}

TEST(LanguageRestart, CommandLineQuotesPathAndCarriesHiddenSwitchAndLanguage) {
    const std::string path = "C:\\Program Files (x86)\\Quarnell\\qn718.exe";
    EXPECT_EQ(restart_command_line(path, false, "en"), "\"" + path + "\" --lang en");
    EXPECT_EQ(restart_command_line(path, true, "en"), "\"" + path + "\" tarvel --lang en");
    EXPECT_EQ(restart_command_line(path, false, nullptr), "\"" + path + "\"");
    EXPECT_EQ(restart_command_line(path, true, nullptr), "\"" + path + "\" tarvel");

    const std::string long_path(1200, 'p');
    EXPECT_EQ(restart_command_line(long_path, false, "pl").size(), kMaxRestartCommandLine);
}

TEST_F(LanguageChoice, SwitchingToTheCurrentLanguageDoesNothing) {
    set_current_language(kPolish);
    switch_language("pl");  // would end the test program if it restarted
    EXPECT_EQ(current_language(), kPolish);
}

// The new copy is started for real: a script in place of the program records its arguments.
TEST_F(LanguageChoice, SwitchingLanguageStartsANewCopyAndEnds) {
    const std::string script = folder_ + "/fake-programmer";
    const std::string record = folder_ + "/arguments";
    std::ofstream(script) << "#!/bin/sh\necho \"$@\" > \"" << record << ".tmp\" && mv \"" << record
                          << ".tmp\" \"" << record << "\"\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);

    const char* args[] = {script.c_str(), "tarvel"};
    choose_language(2, args);
    set_hidden_switch(true);
    set_current_language(kPolish);
    EXPECT_EXIT(switch_language("en"), ::testing::ExitedWithCode(0), "");

    std::string arguments;
    for (int i = 0; i < 500 && arguments.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::getline(std::ifstream(record), arguments);
    }
    EXPECT_EQ(arguments, "tarvel --lang en");
}

TEST_F(LanguageChoice, RestartEndsTheProgramEvenWhenTheNewCopyCannotStart) {
    const char* args[] = {"/nonexistent/qn718-programmer"};
    choose_language(1, args);
    EXPECT_EXIT(restart_program(nullptr), ::testing::ExitedWithCode(0), "");
}
