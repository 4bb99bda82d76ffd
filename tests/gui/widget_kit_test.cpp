// The message slot and the question dialog every window uses.
#include <gdk/gdkkeysyms.h>

#include "ui/widget_kit.h"
#include "gui/gui_fixture.h"

namespace {

using WidgetKitTest = GuiTest;

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
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(window)));
    EXPECT_FALSE(gtk_window_get_deletable(GTK_WINDOW(window)));
    gtk_button_clicked(GTK_BUTTON(find_button(window, "OK")));
    EXPECT_EQ(message_slot(), nullptr) << "OK must empty the slot";
}

TEST_F(WidgetKitTest, QuestionAnswersAndEscapeCountsAsNo) {
    const auto dialog = [] { return toplevel_titled("Question"); };
    later(20, [dialog] { gtk_button_clicked(GTK_BUTTON(find_button(dialog(), "Yes"))); });
    EXPECT_TRUE(ask_question(nullptr, "Go on?"));
    later(20, [dialog] { gtk_button_clicked(GTK_BUTTON(find_button(dialog(), "No"))); });
    EXPECT_FALSE(ask_question(nullptr, "Go on?"));
    // The key goes to the focused button, as a user's would; the dialog's own window has no
    // children for GTK's test helper to search.
    later(20, [dialog] {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(dialog()));
        gtk_test_widget_send_key(focus ? focus : dialog(), GDK_Escape, GdkModifierType(0));
    });
    EXPECT_FALSE(ask_question(nullptr, "Go on?"));
}

// A font whose family the system lacks leaves Pango's Windows backend without any font for the
// text, and every character comes out as an empty box (Wine has no Arial or Courier New).
TEST_F(WidgetKitTest, EveryFontHasGlyphsForItsText) {
    GtkWidget* label = gtk_label_new(nullptr);
    g_object_ref_sink(label);
    for (int id = 0; id < kFontCount; ++id) {
        PangoLayout* layout = gtk_widget_create_pango_layout(label, "Ag 09 \xc5\x81\xc4\x8d");
        pango_layout_set_font_description(layout, font(FontId(id)));
        char* name = pango_font_description_to_string(font(FontId(id)));
        EXPECT_EQ(pango_layout_get_unknown_glyphs_count(layout), 0) << name;
        g_free(name);
        g_object_unref(layout);
    }
    g_object_unref(label);
}

}  // namespace
