// The command cycle: what every command that blocks the Main window goes through.
#include "command_cycle.h"

#include "status_log.h"

// Input that waited in the queue while the window was blocked was aimed at a window that could not
// answer: a second click of a double-click, a click on "Quit", a key. Replayed now, it would start
// another command or end the program behind the user's back.
static void DiscardQueuedInput(void)
{
    static const UINT kRanges[][2] = { { WM_KEYFIRST, WM_KEYLAST },
                                       { WM_MOUSEFIRST, WM_MOUSELAST },
                                       { WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK } };
    MSG message;
    for (size_t i = 0; i < sizeof kRanges / sizeof kRanges[0]; ++i)
        while (PeekMessageA(&message, NULL, kRanges[i][0], kRanges[i][1], PM_REMOVE))
            ;
}

// Disabling the control that has the focus leaves the focus nowhere, and the keyboard dead until
// the user clicks a control. Only the active window's focus is ours to move.
static void RestoreFocus(HWND window, HWND starter)
{
    HWND focus = GetFocus();
    if (GetActiveWindow() != window || (focus != NULL && IsChild(window, focus)))
        return;
    HWND target = IsWindowEnabled(starter) ? starter : GetNextDlgTabItem(window, starter, FALSE);
    if (target != NULL)
        SendMessageA(window, WM_NEXTDLGCTL, (WPARAM)target, TRUE);
}

void RunBlockingCommand(HWND window, int starterId, BOOL disableStarter, CommandBody body)
{
    HWND starter = GetDlgItem(window, starterId);
    if (disableStarter)
        EnableWindow(starter, FALSE);
    body(window);
    DiscardQueuedInput();
    if (disableStarter)
        EnableWindow(starter, TRUE);
    RestoreFocus(window, starter);
}

void ShowCommandProgress(HWND window)
{
    // The window paints nothing by itself until the command ends.
    ScrollStatusLogToEnd(window);
    RedrawWindow(window, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void PauseCommand(HWND window, DWORD milliseconds)
{
    ShowCommandProgress(window);
    Sleep(milliseconds);
}
