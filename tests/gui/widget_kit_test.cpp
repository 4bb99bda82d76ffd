#include <gdk/gdkkeysyms.h>

#include "app/widget_kit.h"
#include "gui/gui_fixture.h"

namespace {

class WidgetKitTest : public GuiTest {};

const GdkColor kRed = {0, 65535, 0, 0};

bool text_is_red(GtkWidget* widget, GtkStateType state) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(widget);
    return (style->color_flags[state] & GTK_RC_TEXT) && gdk_color_equal(&style->text[state], &kRed);
}

bool fg_is_red(GtkWidget* widget) {
    GtkRcStyle* style = gtk_widget_get_modifier_style(widget);
    return (style->color_flags[GTK_STATE_NORMAL] & GTK_RC_FG) &&
           gdk_color_equal(&style->fg[GTK_STATE_NORMAL], &kRed);
}

GtkWidget* find_dialog() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data))) {
            found = GTK_WIDGET(w->data);
        }
    }
    g_list_free(windows);
    return found;
}

}  // namespace

TEST_F(WidgetKitTest, SecondMessageReplacesTheFirst) {
    show_message("first");
    GtkWidget* first = message_slot();
    ASSERT_NE(first, nullptr);
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
    show_message("second\nline two");
    process_pending_events();
    EXPECT_EQ(first, nullptr) << "the first window is still alive";
    EXPECT_EQ(message_text(), "second\nline two");
    EXPECT_EQ(std::string(gtk_window_get_title(GTK_WINDOW(message_slot()))), "Message");

    gtk_button_clicked(GTK_BUTTON(find_button(message_slot(), "OK")));
    EXPECT_EQ(message_slot(), nullptr) << "OK must empty the slot";
}

TEST_F(WidgetKitTest, MessageWindowLayout) {
    show_message("text");
    GtkWidget* window = message_slot();
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(window)));
    int width = 0, height = 0;
    gtk_widget_get_size_request(find_button(window, "OK"), &width, &height);
    EXPECT_EQ(width, 80);
    EXPECT_EQ(height, 25);
}

TEST_F(WidgetKitTest, SaveButtonMarkWithoutAPageDoesNothing) {
    set_save_button(nullptr);
    EXPECT_EQ(mark_save_button(true), 1);

    GtkWidget* save = make_button("Save");
    set_save_button(save);
    GtkWidget* label = gtk_bin_get_child(GTK_BIN(save));
    mark_save_button(true);
    EXPECT_TRUE(fg_is_red(label));
    mark_save_button(false);
    EXPECT_FALSE(fg_is_red(label));
    gtk_widget_destroy(save);
    EXPECT_EQ(mark_save_button(true), 1) << "a destroyed button must be forgotten";
}

TEST_F(WidgetKitTest, LevelEntryMarkComparesTheNumber) {
    GtkWidget* box = make_row_box();
    GtkWidget* entry = nullptr;
    GtkEntryBuffer* buffer = add_entry(box, nullptr, &entry);
    GtkWidget* save = make_button("Save");
    set_save_button(save);

    gtk_entry_buffer_set_text(buffer, "0500", -1);
    mark_level_entry(entry, buffer, 500);
    EXPECT_FALSE(text_is_red(entry, GTK_STATE_NORMAL));
    EXPECT_FALSE(fg_is_red(gtk_bin_get_child(GTK_BIN(save))));

    gtk_entry_buffer_set_text(buffer, "abc", -1);
    mark_level_entry(entry, buffer, 0);
    EXPECT_FALSE(text_is_red(entry, GTK_STATE_NORMAL)) << "abc reads as 0";

    gtk_entry_buffer_set_text(buffer, "7", -1);
    mark_level_entry(entry, buffer, 0);
    EXPECT_TRUE(text_is_red(entry, GTK_STATE_NORMAL));
    EXPECT_TRUE(fg_is_red(gtk_bin_get_child(GTK_BIN(save))));

    gtk_entry_buffer_set_text(buffer, "0", -1);
    mark_level_entry(entry, buffer, 0);
    EXPECT_FALSE(text_is_red(entry, GTK_STATE_NORMAL));
    EXPECT_TRUE(fg_is_red(gtk_bin_get_child(GTK_BIN(save)))) << "markers never clear Save";
    gtk_widget_destroy(save);
    gtk_widget_destroy(box);
}

TEST_F(WidgetKitTest, ChoiceMarkColoursNormalAndSelectedStates) {
    GtkWidget* combo = gtk_combo_box_new_text();
    gtk_combo_box_append_text(GTK_COMBO_BOX(combo), "a");
    gtk_combo_box_append_text(GTK_COMBO_BOX(combo), "b");
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 1);
    mark_choice(combo, 0);
    GtkWidget* child = gtk_bin_get_child(GTK_BIN(combo));
    EXPECT_TRUE(text_is_red(child, GTK_STATE_NORMAL));
    EXPECT_TRUE(text_is_red(child, GTK_STATE_SELECTED));
    gtk_combo_box_set_active(GTK_COMBO_BOX(combo), 0);
    mark_choice(combo, 0);
    EXPECT_FALSE(text_is_red(child, GTK_STATE_NORMAL));
    EXPECT_FALSE(text_is_red(child, GTK_STATE_SELECTED));
    gtk_widget_destroy(combo);
}

TEST_F(WidgetKitTest, QuestionAnswers) {
    later(20, [] { gtk_button_clicked(GTK_BUTTON(find_button(find_dialog(), "Yes"))); });
    EXPECT_TRUE(ask_question(nullptr, "Go on?"));
    later(20, [] { gtk_button_clicked(GTK_BUTTON(find_button(find_dialog(), "No"))); });
    EXPECT_FALSE(ask_question(nullptr, "Go on?"));
    later(20, [] { gtk_test_widget_send_key(find_dialog(), GDK_Escape, GdkModifierType(0)); });
    EXPECT_FALSE(ask_question(nullptr, "Go on?")) << "Escape counts as No";
}

TEST(IsAllDigits, EmptyCountsAsDigits) {
    EXPECT_TRUE(is_all_digits(""));
    EXPECT_TRUE(is_all_digits("0123456789"));
    EXPECT_FALSE(is_all_digits("12a"));
    EXPECT_FALSE(is_all_digits("-1"));
    EXPECT_FALSE(is_all_digits(" 1"));
}
