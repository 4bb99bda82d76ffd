#include "ui/main_loop.h"

#include <gtk/gtk.h>

#include "ui/autoflash_window.h"
#include "ui/connection.h"
#include "ui/remote_window.h"
#include "ui/widget_kit.h"
#include "ui/program_context.h"

namespace {

constexpr int kPassPauseMs = 10;

}  // namespace

void main_loop_pass() {
    process_pending_events();
    // The loop's own steps talk to the device too; none starts inside a user's exchange.
    if (connection().link().busy()) {
        serve_events_for(kPassPauseMs);
        return;
    }
    if (program_context().remote_access_active) {
        run_relay_step();
        return;
    }
    if (connection().step())
        return;
    run_autoflash_step(connection().link());
    serve_events_for(kPassPauseMs);
}

void run_main_loop() {
    for (;;)
        main_loop_pass();
}
