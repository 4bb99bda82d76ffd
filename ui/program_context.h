// What the window program keeps for its whole run. run_program owns it; GTK calls the window's
// handlers without it, so they reach it through program_context().
#pragma once

#include <cstdint>

#include "app/language.h"
#include "app/language_choice.h"
#include "app/user_settings.h"
#include "console/command_history.h"
#include "console/traffic_filter.h"
#include "console/traffic_log.h"
#include "firmware/firmware_image.h"
#include "remote/remote_session.h"

struct ProgramContext {
    UserSettings settings;
    int language = kEnglish;  // an index of LanguageList
    ProgramStart start;       // the program's path and the hidden switch, for restarts
    // The connected device's firmware number, (identity byte 2 << 8) | byte 3; identification
    // sets it before the configuration page is built, so the vehicle lists hide the rows this
    // firmware cannot use from their first fill.
    uint32_t firmware_number = 0;
    TrafficLog traffic;
    TrafficFilter filter;
    CommandHistory history;
    FirmwareImage firmware_image;  // the flasher's and the relay's
    // The relay's connection, its analyzer port and serial ports included.
    RemoteSession remote;
    // While the remote-access window is open the relay owns the device link, and the main loop
    // runs relay steps instead of its own device work.
    bool remote_access_active = false;
};

// The context of the running program (or of a test); it must outlive every use.
ProgramContext& program_context();
void use_program_context(ProgramContext& context);
