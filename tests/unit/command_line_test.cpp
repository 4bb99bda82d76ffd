#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace {

CommandLineRequest request_for(std::vector<const char*> args) {
    args.insert(args.begin(), "/usr/bin/qn718-programmer");
    return command_line_request(static_cast<int>(args.size()), args.data());
}

}  // namespace

TEST(CommandLine, HelpAndVersionAreFoundAnywhereButNotAsTheLanguageCode) {
    struct Case {
        std::vector<const char*> args;
        CommandLineRequest expected;
    };
    const Case cases[] = {
        {{}, CommandLineRequest::run},
        {{"--help"}, CommandLineRequest::help},
        {{"-h"}, CommandLineRequest::help},
        {{"--version"}, CommandLineRequest::version},
        {{"-V"}, CommandLineRequest::version},
        {{"tarvel", "--lang", "pl", "--version"}, CommandLineRequest::version},
        {{"--version", "--help"}, CommandLineRequest::version},
        {{"--lang", "--help"}, CommandLineRequest::run},
        {{"--lang"}, CommandLineRequest::run},
        {{"--helpme", "-help", "--Version", "x--help"}, CommandLineRequest::run},
    };
    for (const Case& c : cases)
        EXPECT_EQ(request_for(c.args), c.expected) << testing::PrintToString(c.args);
}

TEST(CommandLine, HelpNamesTheProgramItsOptionsAndExitStatus) {
    const std::string help = help_text("qn718-programmer-demo");
    EXPECT_EQ(help.rfind("Usage: qn718-programmer-demo [--lang CODE]\n", 0), 0u) << help;
    for (const char* part : {"--help", "--version", "--lang CODE", "Exit status:", ".qn718rc"})
        EXPECT_NE(help.find(part), std::string::npos) << part;
    EXPECT_EQ(version_text(), "qn718-programmer 2.20.0\n");
}
