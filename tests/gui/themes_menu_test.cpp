// The themes menu: one entry per theme the folder offers. Choosing one writes the resource file
// and restarts (themes_test, language_choice_test).
#include <filesystem>

#include "gui/gui_fixture.h"
#include "support/test_system.h"
#include "ui/themes_menu.h"

namespace {

using ThemesMenuTest = GuiTest;

TEST_F(ThemesMenuTest, OneEntryPerThemeUnderTheThemesItem) {
    const std::string folder = make_temp_folder("qn718-themes-");
    for (const char* name : {"Clearlooks", "Raleigh"})
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

}  // namespace
