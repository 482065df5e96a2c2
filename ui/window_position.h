// The Main window's position: restored within reach at the first show, saved on every normal move.
#ifndef LOADER_WINDOW_POSITION_H
#define LOADER_WINDOW_POSITION_H

#include <windows.h>

// Reads the saved position and moves the window there, or as close to it as keeps the caption
// on a monitor's work area.
void RestoreWindowPosition(HWND window);

// A position whose caption would lie off every work area (a minimised window's, or one on a monitor
// since detached) becomes the nearest position on the nearest monitor's work area, as close as fits.
void KeepCaptionWithinReach(int* x, int* y, LONG width, LONG height, LONG captionHeight);

// Height of the window's frame and caption above its client area.
LONG CaptionHeight(HWND window);

// WM_MOVE: records the window's outer top-left corner, unless it is minimised or maximised.
void SaveWindowPosition(HWND window);

#endif
