// What screen readers hear: controls named after their row labels, status lights with their
// on/off state, message windows read out as alerts. Without an accessibility module loaded
// these calls cost next to nothing.
#pragma once

#include <gtk/gtk.h>

// The label names the control: a LABELLED_BY / LABEL_FOR pair and the control's accessible name
// (a choice box would otherwise be announced by its current value alone).
void tie_label_to_control(GtkWidget* label, GtkWidget* control);

// A status light: an insensitive button that is announced as a checked or unchecked toggle.
GtkWidget* make_indicator_button();
void set_indicator_lit(GtkWidget* indicator, bool lit);
bool indicator_lit(GtkWidget* indicator);

// A window that carries a message: announced as an alert whose description is the text.
void announce_as_alert(GtkWidget* window, const char* text);
