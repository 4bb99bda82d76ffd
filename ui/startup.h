// The program's start: settings, language, GTK, single instance, hidapi, the main window.
#pragma once

// Runs the program; returns only with an exit code when start-up fails.
int run_program(int argc, char** argv);
