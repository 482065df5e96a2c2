// Start-up: the window class, the associated file, the program's paths, and the run of the Main window.
#ifndef LOADER_STARTUP_H
#define LOADER_STARTUP_H

#include <windows.h>

#define LOADER_CLASS_NAME "VLR_LoadClass"

// Registers the Main window's class: a copy of the platform's dialog class with the program icon.
// Returns FALSE when the dialog class cannot be fetched or the registration is refused.
BOOL RegisterLoaderClass(HINSTANCE instance);

// Fills the associated file, the Program directory and the Settings file path
// from the command-line remainder and the executable's own path.
void SetUpProgramPaths(const char* remainder);

// The whole start-up; returns the exit code (0 close command, 1 Quit or Esc, -1 no window).
int RunLoader(HINSTANCE instance, const char* remainder);

#endif
