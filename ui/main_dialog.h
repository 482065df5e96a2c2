// The Main window's dialog procedure: initialisation, position keeping and command routing.
#ifndef LOADER_MAIN_DIALOG_H
#define LOADER_MAIN_DIALOG_H

#include <windows.h>

enum { ADVANCED_PANEL_WIDTH = 300 };

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
