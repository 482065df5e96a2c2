// Yardstick for the loader's start-up: the platform's floor for showing the Main window's template, and nothing else.
#include <windows.h>
#include <commctrl.h>

#ifdef WITH_LOADER_IMPORTS
#include <shlwapi.h>

#include "device/cable_driver.h"

// Built this way it also imports the libraries the loader imports beyond this floor, so that the bench
// can tell how much of the loader's start-up their loading takes. The functions are never called;
// reading their addresses through a volatile table keeps the imports in the program.
static void* volatile g_loaderImports[] = { (void*)PathFileExistsA, (void*)CableDeviceCount };
#endif

// The loader's own template, icon and class name, linked from its compiled resources.
enum { MAIN_TEMPLATE = 1001, PROGRAM_ICON = 8002, STATUS_BOX = 4009 };

static INT_PTR CALLBACK BareDialogProc(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        // The text the bench waits for in the loader marks the end of the initialisation here too.
        SetDlgItemTextA(window, STATUS_BOX, "Devices found:");
        return TRUE;
    case WM_CLOSE:
        EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
#ifdef WITH_LOADER_IMPORTS
    for (void* volatile& function : g_loaderImports) {
        if (function == NULL)
            return -1;
    }
#endif
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    // The template names this class: the platform's dialog class under the program's name and icon.
    WNDCLASSEXA description = {};
    description.cbSize = sizeof description;
    if (!GetClassInfoExA(NULL, MAKEINTATOM(0x8002), &description))
        return -1;
    description.hInstance = instance;
    description.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(PROGRAM_ICON));
    description.lpszClassName = "VLR_LoadClass";
    if (!RegisterClassExA(&description))
        return -1;
    return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(MAIN_TEMPLATE), NULL, BareDialogProc, 0);
}
