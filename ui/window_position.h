// The Main window's position: restored within reach at the first show, saved on every normal move.
#ifndef LOADER_WINDOW_POSITION_H
#define LOADER_WINDOW_POSITION_H

#include <windows.h>

// Reads the saved position and moves the window there, or as close to it as keeps the caption
// on a monitor's work area.
void RestoreWindowPosition(HWND window);

// WM_MOVE: records the window's outer top-left corner, unless it is minimised or maximised.
void SaveWindowPosition(HWND window);

#endif
