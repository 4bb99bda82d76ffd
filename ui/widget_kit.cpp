#include "ui/widget_kit.h"

#include <cstring>

#include "ui/ui_text.h"
#include "ui/accessibility.h"

namespace {

GtkWidget* g_message_slot = nullptr;

// Each font names its metrically equal free font and a generic family after it. Pango's
// Windows backend knows only the fonts DirectWrite lists and does not fall back by itself: a
// machine without Arial (Wine lists only the fonts registered in the system, never its own)
// would draw every character of a text in a lone family as an empty box.
const char* const kFontNames[kFontCount] = {
    "Arial,Liberation Sans,Sans 9",  "Arial,Liberation Sans,Sans 8",
    "Arial,Liberation Sans,Sans 7",  "Arial,Liberation Sans,Sans 18",
    "Arial,Liberation Sans,Sans 12", "Arial,Liberation Sans,Sans 10 Bold",
    "Arial,Liberation Sans,Sans 14", "Courier,Liberation Mono,Monospace 10",
};
PangoFontDescription* g_fonts[kFontCount] = {};

void pack_fixed(GtkWidget* box, GtkWidget* child, int padding) {
    gtk_box_pack_start(GTK_BOX(box), child, FALSE, FALSE, padding);
}

void on_message_ok(GtkWidget* button, gpointer) {
    GtkWidget* window = gtk_widget_get_toplevel(button);
    if (window == g_message_slot)
        g_message_slot = nullptr;
    gtk_widget_destroy(window);
}

void on_message_slot_destroyed(GtkWidget* window, gpointer) {
    if (g_message_slot == window)
        g_message_slot = nullptr;
}

gboolean mark_elapsed(gpointer elapsed) {
    *static_cast<bool*>(elapsed) = true;
    return FALSE;
}

}  // namespace

GtkWidget* make_label(const char* text) {
    GtkWidget* label = gtk_label_new(text);
    gtk_widget_show(label);
    return label;
}

void set_label_text(GtkWidget* label, const char* text) {
    if (std::strcmp(gtk_label_get_text(GTK_LABEL(label)), text) != 0) {
        gtk_label_set_text(GTK_LABEL(label), text);
    }
}

GtkWidget* make_button(const char* text) {
    GtkWidget* button = gtk_button_new();
    gtk_container_add(GTK_CONTAINER(button), make_label(text));
    gtk_widget_show(button);
    return button;
}

GtkWidget* make_check_button(const char* text) {
    GtkWidget* button = gtk_check_button_new();
    gtk_container_add(GTK_CONTAINER(button), make_label(text));
    gtk_widget_show(button);
    return button;
}

GtkWidget* make_menu_item(const char* text) {
    GtkWidget* item = gtk_menu_item_new();
    GtkWidget* label = make_label(text);
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0);
    gtk_container_add(GTK_CONTAINER(item), label);
    gtk_widget_show(item);
    return item;
}

GtkWidget* make_row_box() {
    GtkWidget* box = gtk_hbox_new(FALSE, 1);
    gtk_widget_set_size_request(box, 0, 22);
    gtk_widget_show(box);
    return box;
}

GtkWidget* add_row_label(GtkWidget* box, const char* text) {
    GtkWidget* label = make_label(text);
    gtk_widget_modify_font(label, font(kFontArial9));
    gtk_misc_set_alignment(GTK_MISC(label), 0, 0.5);
    gtk_widget_set_size_request(label, kFormLabelWidth, 20);
    pack_fixed(box, label, 1);
    return label;
}

GtkEntryBuffer* add_entry(GtkWidget* box, GCallback changed_handler, GtkWidget** entry_out) {
    GtkEntryBuffer* buffer = gtk_entry_buffer_new(nullptr, -1);
    GtkWidget* entry = gtk_entry_new_with_buffer(buffer);
    g_object_unref(buffer);  // the entry holds it from here on
    gtk_widget_set_size_request(entry, kEntryWidth, 20);
    pack_fixed(box, entry, 1);
    if (changed_handler)
        g_signal_connect(entry, "changed", changed_handler, nullptr);
    gtk_widget_show(entry);
    if (entry_out)
        *entry_out = entry;
    return buffer;
}

void add_separator(GtkWidget* box) {
    GtkWidget* separator = gtk_hseparator_new();
    gtk_widget_show(separator);
    pack_fixed(box, separator, 0);
}

void add_end_spacer(GtkWidget* box) {
    GtkWidget* spacer = make_label("");
    gtk_widget_set_size_request(spacer, 10, 10);
    pack_fixed(box, spacer, 0);
}

GtkWidget* add_spacer(GtkWidget* box, int width, int height) {
    GtkWidget* spacer = make_label("");
    gtk_widget_set_size_request(spacer, width, height);
    pack_fixed(box, spacer, 1);
    return spacer;
}

GtkWidget* message_slot() {
    return g_message_slot;
}

void set_message_slot(GtkWidget* window) {
    clear_message_slot();
    g_message_slot = window;
    if (window) {
        g_signal_connect(window, "destroy", G_CALLBACK(on_message_slot_destroyed), nullptr);
    }
}

void clear_message_slot() {
    GtkWidget* window = g_message_slot;
    g_message_slot = nullptr;
    if (window)
        gtk_widget_destroy(window);
}

void wait_for_message_slot_empty(int pause_ms) {
    while (g_message_slot)
        serve_events_for(pause_ms);
}

GtkWidget* open_message_window() {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    set_message_slot(window);
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ALWAYS);
    gtk_window_set_title(GTK_WINDOW(window), lang_text(Text::message));
    gtk_window_set_deletable(GTK_WINDOW(window), FALSE);
    return window;
}

void present_message_window(GtkWidget* window) {
    gtk_widget_show(window);
    gtk_window_present(GTK_WINDOW(window));
    gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
}

void show_message(const char* text) {
    GtkWidget* window = open_message_window();

    GtkWidget* column = gtk_vbox_new(FALSE, 0);
    gtk_widget_show(column);
    gtk_container_add(GTK_CONTAINER(window), column);
    add_spacer(column, 250, 15);
    pack_fixed(column, make_label(text), 0);
    add_spacer(column, 250, 15);

    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    gtk_widget_show(row);
    gtk_box_pack_start(GTK_BOX(row), make_label(""), TRUE, TRUE, 1);
    GtkWidget* ok = make_button("OK");
    gtk_widget_set_size_request(ok, 80, 25);
    g_signal_connect(ok, "clicked", G_CALLBACK(on_message_ok), nullptr);
    pack_fixed(row, ok, 0);
    GtkWidget* gap = make_label("");
    gtk_widget_set_size_request(gap, 10, 10);
    pack_fixed(row, gap, 0);
    pack_fixed(column, row, 0);
    add_end_spacer(column);
    announce_as_alert(window, text);
    present_message_window(window);
}

bool ask_question(GtkWidget* parent, const char* text) {
    GtkWidget* dialog = gtk_dialog_new_with_buttons(
        lang_text(Text::question), parent ? GTK_WINDOW(parent) : nullptr,
        GTK_DIALOG_DESTROY_WITH_PARENT, lang_text(Text::yes), GTK_RESPONSE_ACCEPT,
        lang_text(Text::no), GTK_RESPONSE_NONE, nullptr);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER_ON_PARENT);
    gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    GtkWidget* content = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
    gtk_container_add(GTK_CONTAINER(content), make_label(text));
    announce_as_alert(dialog, text);
    const gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    gtk_widget_destroy(dialog);
    return response == GTK_RESPONSE_ACCEPT;
}

void create_fonts() {
    for (int i = 0; i < kFontCount; ++i) {
        if (!g_fonts[i])
            g_fonts[i] = pango_font_description_from_string(kFontNames[i]);
    }
}

PangoFontDescription* font(FontId id) {
    if (!g_fonts[id])
        create_fonts();
    return g_fonts[id];
}

void set_active_and_notify(GtkComboBox* box, int index) {
    if (gtk_combo_box_get_active(box) == index) {
        g_signal_emit_by_name(box, "changed");
    } else {
        gtk_combo_box_set_active(box, index);
    }
}

void set_entry_text_and_notify(GtkEntry* entry, const char* text) {
    if (std::strcmp(gtk_entry_get_text(entry), text) == 0) {
        g_signal_emit_by_name(entry, "changed");
    } else {
        gtk_entry_set_text(entry, text);
    }
}

void apply_font_to_children(GtkWidget* container, PangoFontDescription* font) {
    gtk_container_foreach(
        GTK_CONTAINER(container),
        [](GtkWidget* child, gpointer data) {
            gtk_widget_modify_font(child, static_cast<PangoFontDescription*>(data));
        },
        font);
}

void process_pending_events() {
    while (gtk_events_pending())
        gtk_main_iteration();
}

void serve_events_for(int milliseconds) {
    process_pending_events();
    if (milliseconds <= 0)
        return;
    bool elapsed = false;
    g_timeout_add(static_cast<guint>(milliseconds), mark_elapsed, &elapsed);
    while (!elapsed)
        g_main_context_iteration(nullptr, TRUE);
}
