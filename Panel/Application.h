#pragma once

// Starts the application: reads the command line, builds the window from its interface file,
// wakes it and runs the event loop. Returns the process's exit code.
int NSApplicationMain(int argc, char **argv);

// Registers the pictures compiled into the panel's library; safe to call more than once.
void initPanelResources();
