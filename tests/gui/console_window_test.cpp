// The console window, the filter settings and the log button, played by hand.
#include <gdk/gdkkeysyms.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ui/key_bindings.h"
#include "app/language.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "console/traffic_filter.h"
#include "console/traffic_log.h"
#include "ui/connection.h"
#include "gui/gui_fixture.h"
#include "platform/files.h"
#include "sim/sim_control.h"
#include "support/test_system.h"
#include "ui/console_window.h"
#include "ui/filter_window.h"
#include "ui/program_context.h"

namespace {

gboolean press(GtkWidget* widget, guint keyval) {
    GdkEventKey event{};
    event.type = GDK_KEY_PRESS;
    event.window = widget->window;
    event.keyval = keyval;
    gboolean handled = FALSE;
    g_signal_emit_by_name(widget, "key_press_event", &event, &handled);
    return handled;
}

std::string view_text() {
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(console_widgets()->buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(console_widgets()->buffer, &start, &end, TRUE);
    std::string copy = text;
    g_free(text);
    return copy;
}

// Each line's own text, behind its stamp, in view order.
std::string shown_lines() {
    std::string lines;
    const std::string text = view_text();
    for (size_t at = text.find("]> "); at != std::string::npos; at = text.find("]> ", at + 1))
        lines += text.substr(at + 3, text.find_first_of("\r\n", at) - at - 3) + ";";
    return lines;
}

class ConsoleWindowTest : public GuiTest {
   protected:
    void SetUp() override {
        GuiTest::SetUp();
        if (IsSkipped())
            return;
        folder_ = make_temp_folder("qn718-console-");
        setenv("USERPROFILE", folder_.c_str(), 1);
        for (const char* line : {"*CAN a\n", "plain\n", "*IO b\n"})
            program_context().traffic.log(TrafficDirection::received, line);
        ASSERT_TRUE(handle_main_window_key(connection().link(), GDK_s, GDK_CONTROL_MASK));
        ASSERT_NE(console_widgets(), nullptr);
        c_ = *console_widgets();
    }
    void TearDown() override {
        if (gui_available()) {
            close_console();
            program_context().traffic.stop_file();  // the file lives in the folder
            connection().link().close();
            std::filesystem::remove_all(folder_);
            unsetenv("USERPROFILE");
        }
        GuiTest::TearDown();
    }
    void set_filter_button(bool pressed) {
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c_.filter_button), pressed);
    }

    std::string folder_;
    ConsoleWidgets c_;
};

TEST_F(ConsoleWindowTest, CtrlSOpensOneConsoleWhoseRowFitsInEveryLanguage) {
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(c_.window)), "Console");
    EXPECT_EQ(label_texts(gtk_widget_get_parent(c_.send_button)),
              (std::vector<std::string>{"Command (hex):", "data:", "Send", "Autoscroll", "Response",
                                        "Filter", "Log to file"}));
    EXPECT_EQ(view_text(), program_context().traffic.text());
    ASSERT_TRUE(handle_main_window_key(connection().link(), GDK_S, GDK_CONTROL_MASK));
    EXPECT_EQ(console_widgets()->window, c_.window) << "presented, not built twice";

    for (int language = kLanguageCount - 1; language >= 0; --language) {
        program_context().language = language;
        close_console();
        open_console(connection().link());
        GtkRequisition row;
        int width = 0, height = 0;
        gtk_widget_size_request(gtk_widget_get_parent(console_widgets()->send_button), &row);
        gtk_window_get_default_size(GTK_WINDOW(console_widgets()->window), &width, &height);
        EXPECT_LE(row.width, width) << "language " << language;
    }
}

TEST_F(ConsoleWindowTest, SendsFromTheFieldsBrowsesAndClears) {
    ASSERT_EQ(connection().link().open(), OpenResult::link);
    gtk_entry_set_text(GTK_ENTRY(c_.command_entry), "G1");
    gtk_button_clicked(GTK_BUTTON(c_.send_button));
    EXPECT_TRUE(drawn_red(c_.command_entry, GTK_RC_BASE));
    gtk_entry_set_text(GTK_ENTRY(c_.data_entry), std::string(144, 'x').c_str());
    gtk_entry_set_text(GTK_ENTRY(c_.command_entry), "0a");
    EXPECT_TRUE(press(c_.data_entry, GDK_Return));
    EXPECT_TRUE(drawn_red(c_.data_entry, GTK_RC_BASE));

    gtk_entry_set_text(GTK_ENTRY(c_.data_entry), "\\x00\\x10");
    EXPECT_TRUE(press(c_.data_entry, GDK_Return));
    EXPECT_FALSE(drawn_red(c_.command_entry, GTK_RC_BASE));
    EXPECT_FALSE(drawn_red(c_.data_entry, GTK_RC_BASE));
    EXPECT_EQ(sim::count_commands(0x0A), 1);  // its bytes: console_send_test

    EXPECT_TRUE(press(c_.command_entry, GDK_Up));
    EXPECT_TRUE(press(c_.command_entry, GDK_Down));
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(c_.command_entry)), "0a");
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(c_.data_entry)), "\\x00\\x10");

    EXPECT_TRUE(press(c_.window, GDK_F8));
    EXPECT_EQ(view_text() + program_context().traffic.text(), "");
    EXPECT_FALSE(press(c_.window, GDK_F7));
}

TEST_F(ConsoleWindowTest, FilterSettingsChooseTheTagsShown) {
    set_filter_button(true);
    GtkWidget* settings = filter_settings_window();
    ASSERT_NE(settings, nullptr);
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(settings)), "Filter settings");
    const auto entries = find_widgets(settings, [](GtkWidget* w) { return GTK_IS_ENTRY(w); });
    const auto ticks = find_widgets(settings, [](GtkWidget* w) { return GTK_IS_CHECK_BUTTON(w); });
    ASSERT_EQ(entries.size(), 25u);
    ASSERT_EQ(ticks.size(), 26u) << "25 slots and untagged";
    gtk_entry_set_text(GTK_ENTRY(entries[0]), "CAN");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(ticks[1]), TRUE);
    gtk_button_clicked(GTK_BUTTON(find_button(settings, "OK")));
    EXPECT_EQ(filter_settings_window(), nullptr);
    EXPECT_EQ(shown_lines(), "*CAN a;");
    EXPECT_TRUE(drawn_red(c_.filter_button, GTK_RC_BG, GTK_STATE_ACTIVE));
    EXPECT_TRUE(drawn_red(c_.filter_button, GTK_RC_BG, GTK_STATE_PRELIGHT));
    EXPECT_EQ(program_context().settings.filter_strings[0], "CAN");
    std::string saved;
    read_whole_file(folder_ + "/" + kUserSettingsFileName, 5000, saved);
    EXPECT_NE(saved.find(std::string("\0CAN\0", 5)), std::string::npos) << "saved";

    for (const char* line : {"later\n", "*CAN c\n"})
        program_context().traffic.log(TrafficDirection::received, line);
    EXPECT_EQ(shown_lines(), "*CAN a;*CAN c;") << "new lines pass the filter too";
    close_console();  // the filter stays on, and the next console shows it on
    open_console(connection().link());
    c_ = *console_widgets();
    EXPECT_TRUE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c_.filter_button)));
    EXPECT_TRUE(drawn_red(c_.filter_button, GTK_RC_BG, GTK_STATE_ACTIVE));
    EXPECT_EQ(filter_settings_window(), nullptr);
    EXPECT_EQ(shown_lines(), "*CAN a;*CAN c;");
    set_filter_button(false);
    EXPECT_EQ(shown_lines(), "*CAN a;plain;*IO b;later;*CAN c;");
    EXPECT_FALSE(drawn_red(c_.filter_button, GTK_RC_BG, GTK_STATE_ACTIVE));

    set_filter_button(true);  // cancelled: off, whatever was ticked
    gtk_button_clicked(GTK_BUTTON(find_button(filter_settings_window(), "Cancel")));
    EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c_.filter_button)));
    EXPECT_FALSE(program_context().filter.enabled);
    EXPECT_EQ(shown_lines(), "*CAN a;plain;*IO b;later;*CAN c;");
    EXPECT_EQ(program_context().filter.slots[0], "CAN") << "the applied choice stays";
}

// The file gets the record, not the view: lines the filter hides at the start are in it, the
// line ends are the same throughout, and a log started again does not repeat what it has.
TEST_F(ConsoleWindowTest, LogFileTakesEveryRecordedLineOnceWhateverTheViewShows) {
    program_context().filter.enabled = true;  // only *CAN lines shown from now on
    program_context().filter.slots[0] = "CAN";
    program_context().filter.slot_mask = 1;
    reload_console_view();
    program_context().traffic.log(TrafficDirection::received, "*CAN shown\n");
    program_context().traffic.log(TrafficDirection::received, "hidden\n");
    const std::string shown = view_text();
    ASSERT_EQ(shown_lines(), "*CAN a;*CAN shown;");
    const std::string path = folder_ + "/console.log";
    {
        ChooserAnswerer chooser({path});
        gtk_button_clicked(GTK_BUTTON(c_.log_button));
        EXPECT_EQ(chooser.titles(), std::vector<std::string>{"Select log file"});
    }
    EXPECT_EQ(program_context().settings.last_log_folder, folder_);
    EXPECT_EQ(view_text(), shown) << "the view stays as it was";
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(c_.log_button));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), "Stop logging");
    EXPECT_TRUE(drawn_red(label, GTK_RC_FG));
    close_console();  // the file goes on without the window
    program_context().traffic.log(TrafficDirection::received, "closed\n");
    open_console(connection().link());
    label = gtk_bin_get_child(GTK_BIN(console_widgets()->log_button));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), "Stop logging");
    gtk_button_clicked(GTK_BUTTON(console_widgets()->log_button));
    EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), "Log to file");
    EXPECT_FALSE(drawn_red(label, GTK_RC_FG));
    std::string text;
    read_whole_file(path, 1 << 20, text);
    EXPECT_EQ(text, program_context().traffic.text())
        << "every line, the hidden ones too, each ending CR LF";
    EXPECT_NE(text.find("]> plain\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("]> closed\r\n"), std::string::npos) << text;

    // Started again on the same file: what came meanwhile follows, nothing is repeated.
    program_context().traffic.log(TrafficDirection::received, "between\n");
    const std::string recorded = program_context().traffic.text();
    start_log_file(path);
    program_context().traffic.log(TrafficDirection::received, "again\n");
    program_context().traffic.stop_file();
    read_whole_file(path, 1 << 20, text);
    EXPECT_EQ(text, program_context().traffic.text());
    EXPECT_EQ(recorded, program_context().traffic.text().substr(0, recorded.size()))
        << "the record is kept";

    start_log_file(folder_ + "/no/such.log");
    EXPECT_EQ(message_text(), "Can not open file!");
    EXPECT_FALSE(program_context().traffic.file_open());
}

}  // namespace
