#include <gdk/gdkkeysyms.h>

#include <tuple>

#include "ui/widget_kit.h"
#include "gui/config_page_fixture.h"

namespace {

using WidgetKitTest = GuiTest;

GtkWidget* find_dialog() {
    GtkWidget* found = nullptr;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w; w = w->next) {
        if (GTK_IS_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
            found = GTK_WIDGET(w->data);
    }
    g_list_free(windows);
    return found;
}

TEST_F(WidgetKitTest, SecondMessageReplacesTheFirst) {
    show_message("first");
    GtkWidget* first = message_slot();
    ASSERT_NE(first, nullptr);
    g_object_add_weak_pointer(G_OBJECT(first), reinterpret_cast<gpointer*>(&first));
    show_message("second\nline two");
    process_pending_events();
    EXPECT_EQ(first, nullptr) << "the first window is still alive";
    GtkWidget* window = message_slot();
    EXPECT_EQ(message_text(), "second\nline two");
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(window)), "Message");
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
    EXPECT_FALSE(gtk_window_get_resizable(GTK_WINDOW(window)));
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(window)));
    int width = 0, height = 0;
    gtk_widget_get_size_request(find_button(window, "OK"), &width, &height);
    EXPECT_EQ(width, 80);
    EXPECT_EQ(height, 25);

    gtk_button_clicked(GTK_BUTTON(find_button(window, "OK")));
    EXPECT_EQ(message_slot(), nullptr) << "OK must empty the slot";
}

TEST_F(WidgetKitTest, QuestionAnswersAndEscapeCountsAsNo) {
    later(20, [] { gtk_button_clicked(GTK_BUTTON(find_button(find_dialog(), "Yes"))); });
    EXPECT_TRUE(ask_question(nullptr, "Go on?"));
    later(20, [] { gtk_button_clicked(GTK_BUTTON(find_button(find_dialog(), "No"))); });
    EXPECT_FALSE(ask_question(nullptr, "Go on?"));
    later(20, [] { gtk_test_widget_send_key(find_dialog(), GDK_Escape, GdkModifierType(0)); });
    EXPECT_FALSE(ask_question(nullptr, "Go on?"));
}

TEST(IsAllDigits, EmptyCountsAsDigits) {
    EXPECT_TRUE(is_all_digits(""));
    EXPECT_TRUE(is_all_digits("0123456789"));
    for (const char* text : {"12a", "-1", " 1"})
        EXPECT_FALSE(is_all_digits(text)) << text;
}

}  // namespace
