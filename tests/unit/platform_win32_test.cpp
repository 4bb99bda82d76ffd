// The Windows platform layer where it differs from POSIX: UTF-8 names through the wide API,
// the process list and the locale name. Built in the Windows build only.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folder_list.h"
#include "platform/output_file.h"
#include "platform/processes.h"
#include "platform/profile_folder.h"
#include "platform/program_file.h"
#include "platform/user_locale.h"
#include "support/test_system.h"

namespace {

// Czech and Japanese, outside every single-byte code page at once.
const std::string kName = "Zkou\u0161ka-\u65e5\u672c";

TEST(Win32Files, NamesOutsideAsciiReachTheSameFile) {
    const std::string folder = make_temp_folder("qn718-\u017elu\u0165-");
    ASSERT_FALSE(folder.empty());
    const std::string path = folder + "\\" + kName + ".cfg";
    const std::string bytes("a=1\r\nb\0c\n", 9);
    ASSERT_TRUE(write_whole_file(path, bytes));
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(path)));
    std::string back;
    ASSERT_TRUE(read_whole_file(path, 100, back));
    EXPECT_EQ(back, bytes) << "no text-mode translation";

    OutputFile download;
    ASSERT_TRUE(download.create(folder + "\\" + kName + ".exe"));
    EXPECT_TRUE(download.write("MZ\n\r\n", 5));
    EXPECT_TRUE(download.close());
    ASSERT_TRUE(read_whole_file(folder + "\\" + kName + ".exe", 100, back));
    EXPECT_EQ(back, "MZ\n\r\n");

    std::vector<std::string> names;
    ASSERT_TRUE(list_folder(folder, 10, names));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".", "..", kName + ".cfg", kName + ".exe"}));
    std::filesystem::remove_all(std::filesystem::u8path(folder));

    // A profile folder named after its user.
    const std::string saved = profile_folder();
    set_environment("USERPROFILE", ("C:\\Users\\" + kName).c_str());
    EXPECT_EQ(profile_file(".qn718rc"), "C:\\Users\\" + kName + "\\.qn718rc");
    set_environment("USERPROFILE", saved.c_str());
}

TEST(Win32Processes, ListNamesThisProgramAndLocaleIsItsLanguageOnly) {
    const std::string own = own_program_file();
    ASSERT_FALSE(own.empty());
    const std::string own_name = own.substr(own.find_last_of('\\') + 1);
    const int pid = static_cast<int>(GetCurrentProcessId());
    const std::vector<RunningProgram> programs = running_programs();
    EXPECT_TRUE(std::any_of(programs.begin(), programs.end(), [&](const RunningProgram& p) {
        return p.pid == pid && p.name == own_name;
    })) << own_name;
    EXPECT_FALSE(start_process("C:\\nonexistent\\qn718-programmer.exe --lang en"));

    const std::string language = user_locale_language();
    EXPECT_EQ(language.find_first_of("-_"), std::string::npos) << language;
}

}  // namespace
