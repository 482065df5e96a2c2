// The command cycle: what every command that blocks the Main window goes through.
#ifndef LOADER_COMMAND_CYCLE_H
#define LOADER_COMMAND_CYCLE_H

#include <windows.h>

typedef void (*CommandBody)(HWND window);

// Runs body with the window blocked: disables the starter control first when disableStarter is set;
// afterwards drops the mouse and keyboard input made meanwhile, enables the starter again and, when
// the focus went nowhere, gives it back to the starter (or, if that is disabled, to the next tab stop).
void RunBlockingCommand(HWND window, int starterId, BOOL disableStarter, CommandBody body);

// Before a tool run or a pause: the window painted as it stands, with the log's last line in view.
void ShowCommandProgress(HWND window);

// A fixed pause inside a command, with the window showing its state meanwhile.
void PauseCommand(HWND window, DWORD milliseconds);

#endif
