// The .cfg menu commands on a connected page: the round trip through a file, the choosers and
// the messages. The reader's rules themselves are unit-tested.
#include <string>

#include "app/language.h"
#include "app/user_settings.h"
#include "ui/cfg_file_menu.h"
#include "config/config_reference.h"
#include "gui/config_page_fixture.h"
#include "platform/files.h"

namespace {

std::string file_text(const std::string& path) {
    std::string text;
    read_whole_file(path, 1 << 20, text);
    return text;
}

int active(ChoiceField field) {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(field)));
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

// Plays the user in the next file chooser: picks the file, then presses the button.
void answer_file_chooser(std::string path, GtkResponseType response) {
    later(50, [path, response] {
        GtkWidget* dialog = open_file_chooser();
        ASSERT_NE(dialog, nullptr);
        GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
        if (gtk_file_chooser_get_action(chooser) == GTK_FILE_CHOOSER_ACTION_SAVE) {
            const size_t slash = path.rfind('/');
            gtk_file_chooser_set_current_folder(chooser, path.substr(0, slash).c_str());
            gtk_file_chooser_set_current_name(chooser, path.substr(slash + 1).c_str());
        } else {
            gtk_file_chooser_set_filename(chooser, path.c_str());
        }
        // The chooser takes the folder over from its own idle work.
        later(300, [dialog, response] { gtk_dialog_response(GTK_DIALOG(dialog), response); });
    });
}

class ConfigFileGuiTest : public ConfigPageGuiTest {
   protected:
    void SetUp() override {
        ConfigPageGuiTest::SetUp();
        char pattern[] = "/tmp/qn718-cfg-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        // The settings file goes to the profile folder; keep it out of the real one.
        setenv("USERPROFILE", folder_.c_str(), 1);
        user_settings().last_config_folder.clear();
    }
    void TearDown() override {
        unsetenv("USERPROFILE");
        ConfigPageGuiTest::TearDown();
    }
    // Runs events until the answerer has seen count messages; the last one.
    std::string message_number(size_t count) {
        EXPECT_TRUE(run_events_until([&] { return answerer_.seen().size() >= count; }));
        return answerer_.seen().size() >= count ? answerer_.seen()[count - 1] : "";
    }

    std::string folder_;
    MessageAnswerer answerer_;
};

TEST_F(ConfigFileGuiTest, SavedFileLoadsBackIntoTheSamePage) {
    set_active(config_choice_box(kSwitchoffTime), 5);
    set_active(config_choice_box(kSpeedometerScale), 49);
    ASSERT_EQ(page_marks(), "switchoff_time speedometer_scale Save");

    save_config_file_as(folder_ + "/golf");  // the text itself: cfg_file_test
    EXPECT_EQ(message_number(1), lang_text(Text::config_saved));
    // The fields now match their references; the button keeps its colour.
    EXPECT_EQ(page_marks(), "Save");
    const ConfigReference saved = config_page_access()->reference();

    // Somewhere else entirely: another vehicle and other choices.
    type_level("110");
    set_active(config_choice_box(kAnalogIgn), 2);
    load_configuration(connection().link(), *config_page_access(), LoadKind::defaults);
    message_number(2);

    load_config_file_from(folder_ + "/golf.cfg");
    EXPECT_EQ(message_number(3), lang_text(Text::config_loaded));
    EXPECT_EQ(page_selection(), "Volkswagen: Golf V 1K year 2003-2009 [3]");
    EXPECT_EQ(selected_car_number(), 43);
    EXPECT_EQ(active(kSwitchoffTime), 5);
    EXPECT_EQ(active(kSpeedometerScale), 49);
    EXPECT_EQ(active(kAnalogIgn), 0);
    EXPECT_EQ(config_page_access()->reference().level, saved.level);
    EXPECT_EQ(config_page_access()->reference().choices, saved.choices);
    EXPECT_EQ(page_marks(), "");
}

TEST_F(ConfigFileGuiTest, FileErrorsAreReportedWithTheName) {
    load_config_file_from(folder_ + "/missing.cfg");
    EXPECT_EQ(message_number(1), "Error opening file " + folder_ + "/missing.cfg!");
    save_config_file_as(folder_ + "/no/such/folder/x");
    EXPECT_EQ(message_number(2), "Error writing file " + folder_ + "/no/such/folder/x.cfg!");

    // An empty file is no error, and nothing is loaded.
    write_whole_file(folder_ + "/empty.cfg", "");
    load_config_file_from(folder_ + "/empty.cfg");
    process_pending_events();
    EXPECT_EQ(message_slot(), nullptr);
    EXPECT_EQ(answerer_.seen().size(), 2u);
}

TEST_F(ConfigFileGuiTest, MenuCommandsGoThroughTheChooserAndRememberTheFolder) {
    answer_file_chooser(folder_ + "/menu.CFG", GTK_RESPONSE_ACCEPT);
    save_config_file();
    EXPECT_EQ(message_number(1), lang_text(Text::config_saved));
    EXPECT_FALSE(file_text(folder_ + "/menu.CFG").empty());
    EXPECT_EQ(user_settings().last_config_folder, folder_);

    answer_file_chooser(folder_ + "/menu.CFG", GTK_RESPONSE_CANCEL);
    load_config_file();
    process_pending_events();
    EXPECT_EQ(answerer_.seen().size(), 1u);

    answer_file_chooser(folder_ + "/menu.CFG", GTK_RESPONSE_ACCEPT);
    load_config_file();
    EXPECT_EQ(message_number(2), lang_text(Text::config_loaded));
}

TEST_F(ConfigFileGuiTest, WithoutAPageTheCommandsRefuse) {
    gtk_container_remove(GTK_CONTAINER(window_), config_page_root());
    destroy_config_page();
    save_config_file();
    EXPECT_EQ(message_number(1), lang_text(Text::no_usb_device));
    load_config_file();
    EXPECT_EQ(message_number(2), lang_text(Text::no_usb_device));
    EXPECT_EQ(open_file_chooser(), nullptr);
}

}  // namespace
