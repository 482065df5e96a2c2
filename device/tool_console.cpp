// The Tool console: a console window beside the Main window in which the tool's output shows.
#include "tool_console.h"

#include <stdio.h>

#include "../app/loader_state.h"
#include "../res/resource.h"

// Ctrl+C and Ctrl+Break typed into the console stop the attached tool, not this program.
static BOOL WINAPI KeepRunningOnBreak(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
}

static void CreateToolConsole(void)
{
    freopen("CONIN$", "r", stdin);
    freopen("CONOUT$", "r+", stdout);
    freopen("CONOUT$", "r+", stderr);
    SetConsoleCtrlHandler(KeepRunningOnBreak, TRUE);

    HWND console = GetConsoleWindow();
    // Closing the console would end the whole program with it.
    HMENU systemMenu = GetSystemMenu(console, FALSE);
    if (systemMenu != NULL)
        DeleteMenu(systemMenu, SC_CLOSE, MF_BYCOMMAND);
    SetWindowPos(console, HWND_NOTOPMOST, g_state.windowX + CONSOLE_OFFSET_X, g_state.windowY,
                 CONSOLE_WIDTH, CONSOLE_HEIGHT, SWP_SHOWWINDOW);
}

void ToggleToolConsole(HWND window)
{
    if (SendDlgItemMessageA(window, IDC_SHOW_CONSOLE, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        if (AllocConsole())
            CreateToolConsole();
        else
            ShowWindow(GetConsoleWindow(), SW_SHOW);
    } else {
        ShowWindow(GetConsoleWindow(), SW_HIDE);
    }
}
