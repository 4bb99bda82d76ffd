#include "ui/startup.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/hidden_switch.h"
#include "ui/ui_text.h"
#include "app/language_choice.h"
#include "ui/connection.h"
#include "ui/main_loop.h"
#include "ui/main_window.h"
#include "ui/menu_bar.h"
#include "ui/program_context.h"
#include "app/single_instance.h"
#include "app/user_settings.h"
#include "device/hid_port.h"
#include "ui/widget_kit.h"
#include "platform/processes.h"
#include "platform/profile_folder.h"
#include "ui/themes_menu.h"
#include "ui/update_window.h"

int run_program(int argc, char** argv) {
    // Lives as long as the program: the main loop never returns, and the program ends by
    // exit_program().
    const auto context = std::make_unique<ProgramContext>();
    use_program_context(*context);
    // Sockets need no start-up call on POSIX.
    context->settings = load_user_settings();
    context->start.program_path = argc > 0 && argv[0] ? argv[0] : "";
    context->language = choose_language(argc, argv, context->settings);
    // The theme chosen in the menu lives in the user's own resource file.
    gtk_rc_add_default_file(profile_file(".qngrc-2.0").c_str());
    use_themes_beside_program();
    gtk_init(&argc, &argv);
    if (other_copy_running(argc > 0 ? argv[0] : nullptr)) {
        show_message(lang_text(Text::runs_only_once));
        wait_for_message_slot_empty(50);
        exit_program(1);
    }
    context->start.hidden_switch = has_hidden_switch_argument(argc, argv);
    context->filter = starting_traffic_filter(context->settings);
    const char* update_message = check_for_update();
    if (!start_hidapi()) {
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
