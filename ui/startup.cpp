#include "ui/startup.h"

#include <gtk/gtk.h>
#include <hidapi.h>

#include <cstdio>
#include <cstring>

#include "app/hidden_switch.h"
#include "app/language.h"
#include "app/language_choice.h"
#include "ui/connection.h"
#include "ui/main_loop.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "app/single_instance.h"
#include "app/user_settings.h"
#include "ui/widget_kit.h"
#include "platform/processes.h"
#include "platform/profile_folder.h"
#include "ui/themes_menu.h"
#include "ui/update_window.h"

int run_program(int argc, char** argv) {
    // Sockets need no start-up call on POSIX.
    load_user_settings();
    choose_language(argc, argv);
    // The theme chosen in the menu lives in the user's own resource file.
    gtk_rc_add_default_file(profile_file(".qngrc-2.0").c_str());
    use_themes_beside_program();
    gtk_init(&argc, &argv);
    if (other_copy_running(argc > 0 ? argv[0] : nullptr)) {
        show_message(lang_text(Text::runs_only_once));
        wait_for_message_slot_empty(50);
        exit_program(1);
    }
    set_hidden_switch(has_hidden_switch_argument(argc, argv));
    const char* update_message = check_for_update();
    if (hid_init() != 0) {
        std::fprintf(stderr, "ERROR: %s\n", "hid_init");
        return 1;
    }
    create_fonts();
    DeviceLink& link = connection().link();
    create_main_window(link);
    build_menu_bar(main_box(), link);
    if (update_message)
        show_message(update_message);
    build_status_rows();
    gtk_widget_show(main_window());
    run_main_loop();
}
