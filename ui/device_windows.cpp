#include "ui/device_windows.h"

#include <gtk/gtk.h>

#include "device/device_link.h"
#include "ui/ui_text.h"
#include "ui/widget_kit.h"
#include "platform/processes.h"
#include "ui/firmware_windows.h"
#include "ui/remote_window.h"

namespace {

struct WindowButton {
    Text entry;
    int width;
    GCallback handler;
};

DeviceLink& link_of(gpointer link) {
    return *static_cast<DeviceLink*>(link);
}

void on_exit_program(GtkWidget*, gpointer link) {
    link_of(link).close();
    exit_program(0);
}

void on_try_again(GtkWidget*, gpointer link) {
    clear_message_slot();
    link_of(link).close();
}

void on_program(GtkWidget*, gpointer link) {
    clear_message_slot();
    flash_firmware(link_of(link), FlashMode::from_bootloader);
}

void on_change_firmware(GtkWidget*, gpointer link) {
    clear_message_slot();
    flash_firmware(link_of(link), FlashMode::from_application);
}

void on_remote_access(GtkWidget*, gpointer link) {
    open_remote_window(link_of(link));
}

void fill_blocking_window(GtkWidget* window, DeviceLink& link, const char* text,
                          const WindowButton (&buttons)[3]) {
    GtkWidget* column = gtk_vbox_new(FALSE, 0);
    gtk_widget_show(column);
    gtk_container_add(GTK_CONTAINER(window), column);
    add_spacer(column, 400, 15);
    gtk_box_pack_start(GTK_BOX(column), make_label(text), FALSE, FALSE, 0);
    add_spacer(column, 400, 15);
    GtkWidget* row = gtk_hbox_new(FALSE, 1);
    gtk_widget_show(row);
    for (const WindowButton& wanted : buttons) {
        add_spacer(row, 10, 15);
        GtkWidget* button = make_button(lang_text(wanted.entry));
        gtk_widget_set_size_request(button, wanted.width, 25);
        g_signal_connect(button, "clicked", wanted.handler, &link);
        gtk_box_pack_start(GTK_BOX(row), button, FALSE, FALSE, 1);
    }
    gtk_box_pack_start(GTK_BOX(column), row, TRUE, TRUE, 1);
    add_end_spacer(column);
}

void run_blocking_window(GtkWidget* window) {
    present_message_window(window);
    wait_for_message_slot_empty();
}

}  // namespace

void show_bootloader_window(DeviceLink& link) {
    GtkWidget* window = open_message_window();
    const WindowButton buttons[3] = {
        {Text::program, 180, G_CALLBACK(on_program)},
        {Text::enable_remote_access, 180, G_CALLBACK(on_remote_access)},
        {Text::exit_program, 180, G_CALLBACK(on_exit_program)},
    };
    fill_blocking_window(window, link, lang_text(Text::not_programmed), buttons);
    run_blocking_window(window);
}

void show_incompatible_window(DeviceLink& link, const char* text) {
    GtkWidget* window = open_message_window();
    const WindowButton buttons[3] = {
        {Text::exit_program, 170, G_CALLBACK(on_exit_program)},
        {Text::change_firmware, 190, G_CALLBACK(on_change_firmware)},
        {Text::try_again, 170, G_CALLBACK(on_try_again)},
    };
    fill_blocking_window(window, link, text, buttons);
    run_blocking_window(window);
}
