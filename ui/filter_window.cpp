#include "ui/filter_window.h"

#include <array>

#include "ui/ui_text.h"
#include "ui/widget_kit.h"
#include "console/traffic_filter.h"
#include "ui/program_context.h"

namespace {

constexpr Text kCancelButton = Text::cancel;
constexpr Text kFilterSettingsTitle = Text::filter_settings;
constexpr int kTagEntryWidth = 250;
constexpr int kTagEntryHeight = 25;

struct FilterWindow {
    GtkWidget* window = nullptr;
    GtkWidget* untagged = nullptr;
    std::array<GtkWidget*, kFilterSlotCount> ticks{};
    std::array<GtkWidget*, kFilterSlotCount> entries{};
};
FilterWindow g_filter;
FilterOwner g_owner;

void view_changed() {
    if (g_owner.view_changed)
        g_owner.view_changed();
}

void set_button_background(GtkWidget* button, std::initializer_list<GtkStateType> states,
                           const GdkColor* colour) {
    for (GtkStateType state : states)
        gtk_widget_modify_bg(button, state, colour);
}

// The pressed button shows that filtering is on.
void show_filter_on(GtkWidget* button) {
    set_button_background(button, {GTK_STATE_PRELIGHT, GTK_STATE_ACTIVE}, &kPureRed);
}

GtkWidget* add_row(GtkWidget* box) {
    GtkWidget* row = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(row);
    gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
    return row;
}

GtkWidget* add_to_row(GtkWidget* row, GtkWidget* child) {
    gtk_box_pack_start(GTK_BOX(row), child, FALSE, FALSE, 0);
    return child;
}

GtkWidget* make_tick(const char* text, bool active) {
    GtkWidget* tick = make_check_button(text);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(tick), active);
    return tick;
}

GtkWidget* make_tag_entry(const std::string& text) {
    GtkEntryBuffer* buffer = gtk_entry_buffer_new(text.c_str(), -1);
    GtkWidget* entry = gtk_entry_new_with_buffer(buffer);
    g_object_unref(buffer);  // the entry holds it from here on
    gtk_widget_set_size_request(entry, kTagEntryWidth, kTagEntryHeight);
    gtk_widget_show(entry);
    return entry;
}

gboolean on_delete_event(GtkWidget*, GdkEvent*, gpointer) {
    return cancel_filter_settings();
}

void on_ok_clicked(GtkButton*, gpointer) {
    apply_filter_settings();
}

void on_cancel_clicked(GtkButton*, gpointer) {
    cancel_filter_settings();
}

void build_filter_window() {
    const TrafficFilter& filter = program_context().filter;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_filter.window = window;
    gtk_window_set_title(GTK_WINDOW(window), lang_text(kFilterSettingsTitle));
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    if (g_owner.window)
        gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(g_owner.window));
    g_signal_connect(window, "delete-event", G_CALLBACK(on_delete_event), nullptr);
    gtk_widget_show(window);

    GtkWidget* outer = gtk_hbox_new(FALSE, 0);
    gtk_widget_show(outer);
    gtk_container_add(GTK_CONTAINER(window), outer);
    add_end_spacer(outer);
    GtkWidget* box = gtk_vbox_new(FALSE, 0);
    gtk_widget_show(box);
    gtk_box_pack_start(GTK_BOX(outer), box, FALSE, FALSE, 0);
    add_end_spacer(outer);

    add_end_spacer(box);
    g_filter.untagged = add_to_row(add_row(box), make_tick("untagged", filter.show_untagged));
    add_end_spacer(box);
    for (int i = 0; i < kFilterSlotCount; ++i) {
        GtkWidget* row = add_row(box);
        const size_t slot = static_cast<size_t>(i);
        g_filter.ticks[slot] = add_to_row(row, make_tick("*", filter.slot_mask & (1u << i)));
        g_filter.entries[slot] = add_to_row(row, make_tag_entry(filter.slots[slot]));
    }
    add_end_spacer(box);
    GtkWidget* buttons = add_row(box);
    GtkWidget* ok = add_to_row(buttons, make_button("OK"));
    g_signal_connect(ok, "clicked", G_CALLBACK(on_ok_clicked), nullptr);
    gtk_box_pack_start(GTK_BOX(buttons), make_label(""), TRUE, TRUE, 0);
    GtkWidget* cancel = add_to_row(buttons, make_button(lang_text(kCancelButton)));
    g_signal_connect(cancel, "clicked", G_CALLBACK(on_cancel_clicked), nullptr);
    add_end_spacer(box);
}

bool ticked(GtkWidget* tick) {
    return gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(tick));
}

}  // namespace

void filter_button_toggled(bool pressed, const FilterOwner& owner) {
    g_owner = owner;
    if (!pressed) {
        if (owner.filter_button) {
            set_button_background(owner.filter_button,
                                  {GTK_STATE_PRELIGHT, GTK_STATE_NORMAL, GTK_STATE_ACTIVE},
                                  nullptr);
        }
        program_context().filter.enabled = false;
        view_changed();
        return;
    }
    if (g_filter.window)
        gtk_window_present(GTK_WINDOW(g_filter.window));
    else
        build_filter_window();
}

void show_filter_state(GtkWidget* filter_button) {
    const bool on = program_context().filter.enabled;
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(filter_button), on);
    if (on)
        show_filter_on(filter_button);
}

gboolean apply_filter_settings() {
    if (!g_filter.window)
        return TRUE;
    if (GtkWidget* button = g_owner.filter_button)
        show_filter_on(button);
    FilterChoice choice;
    choice.show_untagged = ticked(g_filter.untagged);
    for (int i = 0; i < kFilterSlotCount; ++i) {
        const size_t slot = static_cast<size_t>(i);
        if (ticked(g_filter.ticks[slot]))
            choice.slot_mask |= 1u << i;
        choice.slots[slot] = gtk_entry_get_text(GTK_ENTRY(g_filter.entries[slot]));
    }
    apply_filter_choice(choice, program_context().filter, program_context().settings);
    gtk_widget_destroy(g_filter.window);
    g_filter = FilterWindow{};
    view_changed();
    return TRUE;
}

gboolean cancel_filter_settings() {
    if (!g_filter.window)
        return TRUE;
    GtkWidget* window = g_filter.window;
    g_filter = FilterWindow{};
    // Releasing the button runs its "toggled" handler, which switches the filter off and shows
    // every line.
    if (GtkWidget* button = g_owner.filter_button)
        gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(button), FALSE);
    gtk_widget_destroy(window);
    program_context().filter.enabled = false;
    return TRUE;
}

GtkWidget* filter_settings_window() {
    return g_filter.window;
}
