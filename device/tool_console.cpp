// The Tool console: a console window beside the Main window in which the tool's output shows.
#include "tool_console.h"

#include <stdio.h>

#include "../app/loader_state.h"
#include "../res/resource.h"
#include "../ui/window_position.h"

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
    // The tool's output reaches the program through a pipe; the program passes it on to this screen.
    g_state.consoleOutput = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        NULL, OPEN_EXISTING, 0, NULL);
    if (g_state.consoleOutput == INVALID_HANDLE_VALUE)
        g_state.consoleOutput = NULL;

    HWND console = GetConsoleWindow();
    // Closing the console would end the whole program with it.
    HMENU systemMenu = GetSystemMenu(console, FALSE);
    if (systemMenu != NULL)
        DeleteMenu(systemMenu, SC_CLOSE, MF_BYCOMMAND);
    // Beside the Main window, unless that would put its caption out of reach (the Main window
    // near a screen's right edge).
    int x = g_state.windowX + CONSOLE_OFFSET_X, y = g_state.windowY;
    KeepCaptionWithinReach(&x, &y, CONSOLE_WIDTH, CONSOLE_HEIGHT, CaptionHeight(console));
    SetWindowPos(console, HWND_NOTOPMOST, x, y, CONSOLE_WIDTH, CONSOLE_HEIGHT, SWP_SHOWWINDOW);
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
