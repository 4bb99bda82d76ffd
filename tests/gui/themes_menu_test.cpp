// The themes menu: its entries, and choosing one.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "app/hidden_switch.h"
#include "app/language_choice.h"
#include "app/themes.h"
#include "gui/gui_fixture.h"
#include "platform/files.h"
#include "support/test_system.h"
#include "ui/themes_menu.h"

namespace {

using ThemesMenuTest = GuiTest;

std::string file_text(const std::filesystem::path& path) {
    std::string text;
    read_whole_file(path.string(), 1 << 20, text);
    return text;
}

TEST_F(ThemesMenuTest, OneEntryPerThemeUnderTheThemesItem) {
    const std::string folder = make_temp_folder("qn718-themes-");
    for (const char* name : {"Raleigh", "Clearlooks", ".hidden"})
        std::filesystem::create_directories(folder + "/" + name);
    GtkWidget* themes = build_themes_menu_from(folder + "/");
    ASSERT_NE(themes, nullptr);
    g_object_ref_sink(themes);
    EXPECT_EQ(label_texts(themes), std::vector<std::string>{"Themes"});
    EXPECT_EQ(label_texts(gtk_menu_item_get_submenu(GTK_MENU_ITEM(themes))),
              (std::vector<std::string>{"Clearlooks", "Raleigh"}));
    g_object_unref(themes);
    EXPECT_EQ(build_themes_menu_from(folder + "/missing"), nullptr);
    std::filesystem::remove_all(folder);
}

// In the death test's child: the program path is a script that notes its arguments, so the
// restart can be seen from outside.
[[noreturn]] void choose_theme(const std::filesystem::path& folder) {
    setenv("HOME", folder.c_str(), 1);
    setenv("USERPROFILE", folder.c_str(), 1);
    const std::string program = (folder / "qn718-programmer").string();
    const char* argv[] = {program.c_str(), "tarvel"};
    choose_language(2, argv);
    set_hidden_switch(true);
    GtkWidget* item = gtk_menu_item_new_with_label("Clearlooks");
    g_object_ref_sink(item);
    apply_theme(GTK_MENU_ITEM(item), nullptr);
    std::exit(3);
}

TEST_F(ThemesMenuTest, ChoosingAThemeWritesTheResourceFileAndRestarts) {
    // The death test's child runs this body again and must find the parent's folder.
    const char* given = std::getenv("QN718_TEST_FOLDER");
    const std::filesystem::path folder = given ? given : make_temp_folder("qn718-theme-choice-");
    setenv("QN718_TEST_FOLDER", folder.c_str(), 1);
    const std::filesystem::path program = folder / "qn718-programmer";
    write_whole_file(program.string(),
                     "#!/bin/sh\necho \"$@\" > '" + (folder / "restarted").string() + "'\n");
    chmod(program.c_str(), 0755);

    EXPECT_EXIT(choose_theme(folder), ::testing::ExitedWithCode(0), "");
    unsetenv("QN718_TEST_FOLDER");
    EXPECT_EQ(file_text(folder / ".qngrc-2.0"), theme_settings_text("Clearlooks"));
    for (int i = 0; i < 250 && !std::filesystem::exists(folder / "restarted"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(file_text(folder / "restarted"), "tarvel\n")
        << "the new copy keeps the hidden switch and gets no language";
    std::filesystem::remove_all(folder);
}

}  // namespace
