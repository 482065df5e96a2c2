// The About box: program name, version and credits; it closes only on "OK".
#include "about_box.h"

#include "../app/loader_state.h"
#include "../res/resource.h"

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        // Esc and close requests arrive as ID 2 and leave the box open on purpose.
        if (LOWORD(wParam) == IDC_ABOUT_OK) {
            EndDialog(window, 0);
            return TRUE;
        }
        return FALSE;
    }
    return FALSE;
}

void ShowAboutBox(HWND owner)
{
    DialogBoxParamA(g_state.instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutDialogProc, 0);
}
