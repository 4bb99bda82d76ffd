// The main window's status labels, for code that has no business with GTK.
#pragma once

void set_status_label(const char* text);
void set_version_label(const char* text);
void set_info_label(const char* text);
void set_mode_label(const char* text);
const char* status_label_text();
const char* version_label_text();
