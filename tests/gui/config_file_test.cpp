// The .cfg menu commands on a connected page: the round trip through a file, the choosers and
// the messages. The reader's rules themselves are unit-tested.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "ui/ui_text.h"
#include "app/user_settings.h"
#include "ui/cfg_file_menu.h"
#include "ui/history_window.h"
#include "gui/config_page_fixture.h"
#include "gui/connection_fixture.h"
#include "platform/files.h"
#include "support/test_system.h"
#include "ui/program_context.h"

namespace {

int active(ChoiceField field) {
    return gtk_combo_box_get_active(GTK_COMBO_BOX(config_choice_box(field)));
}

class ConfigFileGuiTest : public ConfigPageGuiTest {
   protected:
    void SetUp() override {
        ConfigPageGuiTest::SetUp();
        folder_ = make_temp_folder("qn718-cfg-");
        // The settings file goes to the profile folder; keep it out of the real one.
        setenv("USERPROFILE", folder_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("USERPROFILE");
        unsetenv("XDG_DATA_HOME");
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
    save_config_file_as(folder_ + "/golf");  // the text itself: cfg_file_test
    EXPECT_EQ(message_number(1), lang_text(Text::config_saved));
    // The fields now match their references; the button keeps its colour.
    EXPECT_EQ(page_marks(), "Save");

    // Somewhere else entirely: another vehicle and other choices.
    type_level("110");
    set_active(config_choice_box(kAnalogIgn), 2);
    gtk_button_clicked(
        GTK_BUTTON(find_button(config_page_root(), lang_text(Text::default_settings))));
    EXPECT_EQ(message_number(2), lang_text(Text::defaults_loaded));

    load_config_file_from(folder_ + "/golf.cfg");
    EXPECT_EQ(message_number(3), lang_text(Text::config_loaded));
    EXPECT_EQ(page_selection(), "Volkswagen: Golf V 1K year 2003-2009 [3]");
    EXPECT_EQ(active(kSwitchoffTime) * 100 + active(kSpeedometerScale), 549);
    EXPECT_EQ(active(kAnalogIgn), 0);
    EXPECT_EQ(page_marks(), "");
}

TEST_F(ConfigFileGuiTest, FileErrorsAreReportedWithTheNameAndWithoutAPageTheCommandsRefuse) {
    load_config_file_from(folder_ + "/missing.cfg");
    EXPECT_EQ(message_number(1), "Error opening file " + folder_ + "/missing.cfg!");
    save_config_file_as(folder_ + "/no/such/folder/x");
    EXPECT_EQ(message_number(2), "Error writing file " + folder_ + "/no/such/folder/x.cfg!");
    // An empty file is no error, and nothing is loaded.
    write_whole_file(folder_ + "/empty.cfg", "");
    load_config_file_from(folder_ + "/empty.cfg");
    process_pending_events();
    EXPECT_EQ(message_slot(), nullptr);
    // A level the device must not get is shown as the file writes it, as if typed, and Save
    // refuses it before anything goes out.
    write_whole_file(folder_ + "/spaced.cfg", "canlevel= 3\r\ncarnumber=1350\r\nvon_speed=4\r\n");
    load_config_file_from(folder_ + "/spaced.cfg");
    EXPECT_EQ(message_number(3), lang_text(Text::config_loaded));
    EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(config_level_entry())), std::string(" 3"));
    sim::clear_received();
    gtk_button_clicked(GTK_BUTTON(config_save_button()));
    EXPECT_EQ(message_number(4), lang_text(Text::bad_can_level));
    EXPECT_TRUE(sim::received_commands().empty());

    gtk_container_remove(GTK_CONTAINER(window_), config_page_root());
    destroy_config_page();
    ChooserAnswerer chooser({});
    save_config_file();
    EXPECT_EQ(message_number(5), lang_text(Text::no_usb_device));
    load_config_file();
    EXPECT_EQ(message_number(6), lang_text(Text::no_usb_device));
    EXPECT_TRUE(chooser.titles().empty());
}

TEST_F(ConfigFileGuiTest, MenuCommandsGoThroughTheChooserAndRememberTheFolder) {
    const std::string file = folder_ + "/menu.CFG";
    {
        ChooserAnswerer chooser({file});
        save_config_file();
        EXPECT_EQ(message_number(1), lang_text(Text::config_saved));
    }
    std::string text;
    EXPECT_TRUE(read_whole_file(file, 1 << 20, text));
    EXPECT_EQ(program_context().settings.last_config_folder, folder_);
    {
        ChooserAnswerer cancel({""});
        load_config_file();
        process_pending_events();
        EXPECT_EQ(answerer_.seen().size(), 1u);
    }
    ChooserAnswerer chooser({file});
    load_config_file();
    EXPECT_EQ(message_number(2), lang_text(Text::config_loaded));
}

// The page of a device the connection identified, as the program has it.
class HistoryWindowGuiTest : public ConnectionTest {
   protected:
    void SetUp() override {
        ConnectionTest::SetUp();
        if (IsSkipped())
            return;
        // The history's folder on either system: Windows takes LOCALAPPDATA.
        if (const char* local = std::getenv("LOCALAPPDATA"))
            local_app_data_ = local;
        setenv("XDG_DATA_HOME", folder_.c_str(), 1);
        setenv("LOCALAPPDATA", folder_.c_str(), 1);
        ASSERT_TRUE(pass_until_state(AppState::connected));
    }
    void TearDown() override {
        close_history_window();
        unsetenv("XDG_DATA_HOME");
        if (local_app_data_)
            setenv("LOCALAPPDATA", local_app_data_->c_str(), 1);
        else
            unsetenv("LOCALAPPDATA");
        std::filesystem::remove_all(folder_);
        ConnectionTest::TearDown();
    }
    std::string message_number(size_t count) {
        EXPECT_TRUE(run_events_until([&] { return answerer_.seen().size() >= count; }));
        return answerer_.seen().size() >= count ? answerer_.seen()[count - 1] : "";
    }

    const std::string folder_ = make_temp_folder("qn718-history-");
    std::optional<std::string> local_app_data_;
    MessageAnswerer answerer_;
};

TEST_F(HistoryWindowGuiTest, SaveKeepsTheDeviceBlockAndTheWindowPutsItBack) {
    const std::string device_selection = page_selection();
    type_level("110");
    set_active(config_choice_box(kAnalogIgn), 2);
    gtk_button_clicked(GTK_BUTTON(config_save_button()));
    EXPECT_EQ(message_number(1), lang_text(Text::config_saved));

    open_history_window();
    GtkTreeModel* rows = gtk_tree_view_get_model(history_list());
    ASSERT_EQ(gtk_tree_model_iter_n_children(rows, nullptr), 1);
    GtkTreeIter first;
    ASSERT_TRUE(gtk_tree_model_get_iter_first(rows, &first));
    gchar* columns[4] = {};
    gtk_tree_model_get(rows, &first, 1, &columns[1], 2, &columns[2], 3, &columns[3], -1);
    EXPECT_EQ(std::string(columns[1]) + " | " + columns[2] + " | " + columns[3],
              "Volkswagen Golf V 1K | 3 | QN718-0022");
    for (gchar* column : columns)
        g_free(column);

    // Back on the page as a .cfg file loads: the device's vehicle and choices, for "Save".
    load_history_row_into_page(0);
    EXPECT_EQ(message_number(2), lang_text(Text::config_loaded));
    EXPECT_EQ(page_selection(), device_selection);
    EXPECT_EQ(active(kAnalogIgn), 0);

    save_history_row_as(0, folder_ + "/kept");
    EXPECT_EQ(message_number(3), lang_text(Text::config_saved));
    std::string text;
    EXPECT_TRUE(read_whole_file(folder_ + "/kept.cfg", 1 << 20, text));
    EXPECT_NE(text.find("\r\ncanlevel=3\r\ncarnumber=43\r\n"), std::string::npos) << text;
}

}  // namespace
