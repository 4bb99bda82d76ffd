// The small GTK factories every window is built from, the field markers and the message
// windows. Fixed sizes here give the program its look.
#pragma once

#include <gtk/gtk.h>

constexpr int kFormLabelWidth = 500;
constexpr int kEntryWidth = 150;
// Changed fields and the AUTOFLASH mode label are drawn in pure red.
constexpr GdkColor kPureRed = {0, 65535, 0, 0};

GtkWidget* make_label(const char* text);
// Sets a label's text unless it already reads so: GTK lays the window out again on every
// change, and the main loop writes its labels many times a second.
void set_label_text(GtkWidget* label, const char* text);
GtkWidget* make_button(const char* text);
GtkWidget* make_check_button(const char* text);
GtkWidget* make_menu_item(const char* text);
GtkWidget* make_row_box();
GtkWidget* add_row_label(GtkWidget* box, const char* text);
// A text entry on a new, empty buffer; the handler is connected to "changed".
GtkEntryBuffer* add_entry(GtkWidget* box, GCallback changed_handler, GtkWidget** entry_out);
void add_separator(GtkWidget* box);
void add_end_spacer(GtkWidget* box);
// An empty label used as a fixed spacer, packed without expand or fill, padding 1.
GtkWidget* add_spacer(GtkWidget* box, int width, int height);

// The single message slot.
void show_message(const char* text);
// A modal, fixed-size, centred "Message" window without a close control, put in the slot
// (whatever the slot held is destroyed); and showing it above the others once filled.
GtkWidget* open_message_window();
void present_message_window(GtkWidget* window);
GtkWidget* message_slot();
void set_message_slot(GtkWidget* window);
void clear_message_slot();
// Serves GTK events until the message slot is empty.
void wait_for_message_slot_empty(int pause_ms = 10);
bool ask_question(GtkWidget* parent, const char* text);

// Fonts made once at start-up.
enum FontId {
    kFontArial9,
    kFontArial8,
    kFontArial7,
    kFontArial18,
    kFontArial12,
    kFontArial10Bold,
    kFontArial14,
    kFontCourier10,
    kFontCount
};
void create_fonts();
PangoFontDescription* font(FontId id);

// Set a value and run the widget's "changed" handlers even when the value was already
// shown: GTK reports only real changes, and the callers rely on the handler after every set.
void set_active_and_notify(GtkComboBox* box, int index);
void set_entry_text_and_notify(GtkEntry* entry, const char* text);

// The font of a container's children (the text inside a choice box, say).
void apply_font_to_children(GtkWidget* container, PangoFontDescription* font);

// Processes every pending GTK event.
void process_pending_events();
// Waits this long while GTK handles events as they arrive (input, redraws, accessibility
// requests) instead of sleeping through them: every pause of the program goes through here.
void serve_events_for(int milliseconds);
