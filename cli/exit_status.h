// The tool's exit status: scripts on a production line branch on it.
#pragma once

enum ExitStatus : int {
    kExitSuccess = 0,
    kExitDeviceError = 1,     // an exchange failed, a write did not verify, the device went away
    kExitInvalidInput = 2,    // command line, file or data refused before anything was written
    kExitNoDevice = 3,        // no device appeared within the wait
    kExitRefused = 4,         // incompatible device, unconfirmed firmware, bootloader, hardware
    kExitProgramRunning = 5,  // the programmer window or another copy of the tool is running
};
