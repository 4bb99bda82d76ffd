// The four operations that move the configuration block between the device and the page:
// read, write with read-back verification, factory defaults and speedometer calibration.
// Each reports to the user itself and returns 1 on success, 0 otherwise.
#pragma once

enum LoadKind : int {
    kLoadFromDevice = 0,  // button "Load": read and report
    kLoadDefaults = 1,    // button "Default settings": nothing is sent
    kLoadSilently = 2,    // after identification: read without a success message
};

int load_configuration(int kind);
int save_configuration();
int calibrate_speedometer();
