// Yardstick for the loader's start-up: a dialog of the Main window's size that only fills its status box.
#include <windows.h>

static INT_PTR CALLBACK BareDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // The same text the bench waits for in the loader marks the end of the initialisation.
        SetDlgItemTextA(window, 4009, "Devices found: 0");
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL)
            EndDialog(window, 1);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(1), NULL, BareDialogProc, 0);
}
