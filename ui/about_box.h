// The About box: program name, version and credits; it closes only on "OK".
#ifndef LOADER_ABOUT_BOX_H
#define LOADER_ABOUT_BOX_H

#include <windows.h>

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void ShowAboutBox(HWND owner);

#endif
