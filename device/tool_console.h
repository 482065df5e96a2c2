// The Tool console: a console window beside the Main window in which the tool's output shows.
#ifndef LOADER_TOOL_CONSOLE_H
#define LOADER_TOOL_CONSOLE_H

#include <windows.h>

enum { CONSOLE_OFFSET_X = 630, CONSOLE_WIDTH = 740, CONSOLE_HEIGHT = 488 };

// Command of the "Show XC3SProg Console" check box.
void ToggleToolConsole(HWND window);

#endif
