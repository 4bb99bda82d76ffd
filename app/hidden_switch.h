// The hidden service switch ("tarvel" on the command line): lifts the firmware sub-version
// requirement and is handed on when the program restarts itself.
#pragma once

// True when any argument after the program name is exactly "tarvel".
bool has_hidden_switch_argument(int argc, char** argv);
