#pragma once

// The program's start-up: fixes the process-wide facts, refuses a second instance, opens the
// database and shows the main window. Returns the process's exit status.
int Main(int argc, char** argv);
