#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "app/language.h"
#include "app/user_settings.h"
#include "app/widget_kit.h"
#include "config/cfg_file_menu.h"
#include "config/config_operations.h"
#include "config/config_page.h"
#include "config/config_reference.h"
#include "config/vehicle_selection.h"
#include "gui/config_page_fixture.h"
#include "platform/files.h"

namespace {

std::string make_temp_folder() {
    char pattern[] = "/tmp/qn718-cfg-XXXXXX";
    const char* folder = mkdtemp(pattern);
    return folder ? folder : "/tmp";
}

std::string file_text(const std::string& path) {
    std::string text;
    read_whole_file(path, 1 << 20, text);
    return text;
}

int active(ChoiceField field) {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(field)));
}

std::string level_text() {
    return gtk_entry_get_text(GTK_ENTRY(config_level_entry()));
}

// The file chooser that a menu command has open, or null.
GtkWidget* open_file_chooser() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* item = windows; item; item = item->next) {
        if (GTK_IS_FILE_CHOOSER_DIALOG(item->data) &&
            gtk_widget_get_visible(GTK_WIDGET(item->data))) {
            found = GTK_WIDGET(item->data);
        }
    }
    g_list_free(windows);
    return found;
}

// Plays the user in the next file chooser: picks folder and name, then presses the button.
void answer_file_chooser(std::string folder, std::string name, GtkResponseType response) {
    later(50, [folder, name, response] {
        GtkWidget* dialog = open_file_chooser();
        ASSERT_NE(dialog, nullptr);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE) {
            gtk_file_chooser_set_current_folder(chooser, folder.c_str());
            gtk_file_chooser_set_current_name(chooser, name.c_str());
        } else {
            gtk_file_chooser_set_filename(chooser, (folder + "/" + name).c_str());
        }
        // The chooser takes the folder over from its own idle work.
        later(300, [dialog, response] { gtk_dialog_response(GTK_DIALOG(dialog), response); });
    });
}

class ConfigFileGuiTest : public ConfigPageGuiTest {
   protected:
    void SetUp() override {
        ConfigPageGuiTest::SetUp();
        folder_ = make_temp_folder();
        // The settings file goes to the profile folder; keep it out of the real one.
        setenv("USERPROFILE", folder_.c_str(), 1);
        user_settings().last_config_folder.clear();
    }
    void TearDown() override {
        unsetenv("USERPROFILE");
        ConfigPageGuiTest::TearDown();
    }

    std::string folder_;
};

TEST_F(ConfigFileGuiTest, SavedFileLoadsBackIntoTheSamePage) {
    gtk_combo_box_set_active(GTK_COMBO_BOX(config_choice_box(kSwitchoffTime)), 5);
    gtk_combo_box_set_active(GTK_COMBO_BOX(config_choice_box(kSpeedometerScale)), 49);
    process_pending_events();
    ASSERT_TRUE(save_label_red());

    MessageAnswerer answerer;
    save_config_file_as(folder_ + "/golf");
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(answerer.seen().back(), lang_text(17));
    EXPECT_EQ(file_text(folder_ + "/golf.cfg"),
              "canlevel=3\r\ncarnumber=43\r\nvon_speed=2\r\nvoff_speed=3\r\nholdon_time=0\r\n"
              "switchoff_time=5\r\nswitchoff_mode=0\r\nanalog_ign=0\r\nspeedometer_scale=49\r\n"
              "prog_output=0\r\n");
    // The fields now match their references; the button keeps its colour.
    EXPECT_EQ(red_choice_count(), 0);
    EXPECT_TRUE(save_label_red());
    const ConfigReference saved = config_reference();

    // Somewhere else entirely: another vehicle and other choices.
    type_level("110");
    gtk_combo_box_set_active(GTK_COMBO_BOX(config_choice_box(kSwitchoffTime)), 1);
    gtk_combo_box_set_active(GTK_COMBO_BOX(config_choice_box(kAnalogIgn)), 2);
    load_configuration(kLoadDefaults);
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 2; }));

    load_config_file_from(folder_ + "/golf.cfg");
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 3; }));
    EXPECT_EQ(answerer.seen().back(), lang_text(11));
    EXPECT_EQ(selected_model_text(), "Golf V 1K year 2003-2009");
    EXPECT_EQ(selected_car_number(), 43);
    EXPECT_EQ(level_text(), "3");
    EXPECT_EQ(active(kSwitchoffTime), 5);
    EXPECT_EQ(active(kSpeedometerScale), 49);
    EXPECT_EQ(active(kAnalogIgn), 0);
    EXPECT_EQ(config_reference().level, saved.level);
    EXPECT_EQ(config_reference().choices, saved.choices);
    EXPECT_EQ(red_choice_count(), 0);
    EXPECT_FALSE(level_entry_red());
}

TEST_F(ConfigFileGuiTest, RowFoundOnlyThroughItsSecondLevelComesBack) {
    // Audi A4 8E is carried by level 6 with second level 110; the file names level 110.
    write_whole_file(folder_ + "/a4.cfg", "canlevel=110\r\ncarnumber=73\r\n");
    MessageAnswerer answerer;
    load_config_file_from(folder_ + "/a4.cfg");
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(selected_model_text(), "A4 8E year 2004-2008");
    EXPECT_EQ(level_text(), "110");
    EXPECT_FALSE(level_entry_red());
}

TEST_F(ConfigFileGuiTest, ReaderKeepsOddValuesAndSkipsImpossibleChoices) {
    write_whole_file(folder_ + "/odd.cfg", "canlevel=abc\nvon_speed=9\nvoff_speed=2=3\nbogus\n");
    MessageAnswerer answerer;
    load_config_file_from(folder_ + "/odd.cfg");
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(answerer.seen().back(), lang_text(11));
    EXPECT_EQ(level_text(), "abc");
    EXPECT_EQ(config_reference().level, 0);
    EXPECT_FALSE(level_entry_red());
    EXPECT_EQ(active(kVonSpeed), 2);  // as read from the device
    EXPECT_EQ(config_reference().choices[kVonSpeed], 2);
    EXPECT_EQ(active(kVoffSpeed), 2);
    EXPECT_FALSE(choice_red(kVoffSpeed));
}

TEST_F(ConfigFileGuiTest, FileErrorsAreReportedWithTheName) {
    MessageAnswerer answerer;
    load_config_file_from(folder_ + "/missing.cfg");
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(answerer.seen().back(), "Error opening file " + folder_ + "/missing.cfg!");

    save_config_file_as(folder_ + "/no/such/folder/x");
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 2; }));
    EXPECT_EQ(answerer.seen().back(), "Error writing file " + folder_ + "/no/such/folder/x.cfg!");

    // An empty file is no error, and nothing is loaded.
    write_whole_file(folder_ + "/empty.cfg", "");
    load_config_file_from(folder_ + "/empty.cfg");
    process_pending_events();
    EXPECT_EQ(message_slot(), nullptr);
    EXPECT_EQ(answerer.seen().size(), 2u);
}

TEST_F(ConfigFileGuiTest, MenuCommandsGoThroughTheChooserAndRememberTheFolder) {
    MessageAnswerer answerer;
    answer_file_chooser(folder_, "menu.CFG", GTK_RESPONSE_ACCEPT);
    save_config_file();
    ASSERT_TRUE(run_events_until([&] { return !answerer.seen().empty(); }));
    EXPECT_EQ(answerer.seen().back(), lang_text(17));
    EXPECT_FALSE(file_text(folder_ + "/menu.CFG").empty());
    EXPECT_EQ(user_settings().last_config_folder, folder_);

    answer_file_chooser(folder_, "menu.CFG", GTK_RESPONSE_CANCEL);
    load_config_file();
    process_pending_events();
    EXPECT_EQ(answerer.seen().size(), 1u);

    answer_file_chooser(folder_, "menu.CFG", GTK_RESPONSE_ACCEPT);
    load_config_file();
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 2; }));
    EXPECT_EQ(answerer.seen().back(), lang_text(11));
}

TEST_F(ConfigFileGuiTest, WithoutAPageTheCommandsRefuse) {
    gtk_container_remove(GTK_CONTAINER(window_), config_page_root());
    destroy_config_page();
    MessageAnswerer answerer;
    save_config_file();
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 1; }));
    load_config_file();
    ASSERT_TRUE(run_events_until([&] { return answerer.seen().size() == 2; }));
    EXPECT_EQ(answerer.seen()[0], lang_text(74));
    EXPECT_EQ(answerer.seen()[1], lang_text(74));
    EXPECT_EQ(open_file_chooser(), nullptr);
}

}  // namespace
