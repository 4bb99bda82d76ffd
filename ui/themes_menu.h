// The "Themes" menu: one entry per theme beside the program; choosing one restarts the program
// in it.
#pragma once

#include <gtk/gtk.h>

#include <string>

// The "Themes" item with its submenu, or null when the theme folder cannot be listed.
GtkWidget* build_themes_menu();
GtkWidget* build_themes_menu_from(const std::string& folder);
// Handler of each theme entry: the entry's label names the theme.
void apply_theme(GtkMenuItem* item, gpointer);

// Before GTK starts: makes GTK look for themes in the folder the menu lists, unless the user
// pointed it elsewhere. An installed program's folder is GTK's own already; a build tree's is
// not.
void use_themes_beside_program();
