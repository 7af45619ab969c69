#pragma once

// Starts the application: reads the command line, chooses the backends, builds the window from
// its interface file, wakes it and runs the event loop. Returns the process's exit code.
int NSApplicationMain(int argc, char **argv);
