// The Status log: one growing text mirrored whole into the status box.
#include "status_log.h"

#include <stdlib.h>
#include <string.h>

#include "../app/loader_state.h"
#include "../res/resource.h"

LogReallocator g_logRealloc = realloc;

BOOL StartStatusLog(void)
{
    ReleaseStatusLog();
    g_state.logCapacity = 0;
    g_state.logShown = LOG_SHOWN_NONE;
    // A minimal block of one byte, so that every allocator returns a real block to grow from;
    // it holds empty text, so that the log is sound even when the first growth fails.
    g_state.logBuffer = (char*)g_logRealloc(NULL, 1);
    if (g_state.logBuffer == NULL)
        return FALSE;
    g_state.logBuffer[0] = '\0';
    return TRUE;
}

void GrowStatusLog(DWORD step)
{
    if (g_state.logBuffer == NULL)
        return;
    char* grown = (char*)g_logRealloc(g_state.logBuffer, (size_t)g_state.logCapacity + step);
    if (grown == NULL)
        return;
    g_state.logBuffer = grown;
    g_state.logCapacity += step;
}

void ClearStatusLog(void)
{
    if (g_state.logBuffer != NULL)
        memset(g_state.logBuffer, 0, g_state.logCapacity);
}

void AppendStatusLog(const char* text)
{
    if (g_state.logBuffer != NULL)
        AppendText(g_state.logBuffer, g_state.logCapacity, text);
}

void ShowStatusLog(HWND window)
{
    if (g_state.logBuffer == NULL)
        return;
    HWND box = GetDlgItem(window, IDC_STATUS);
    DWORD length = g_state.logCapacity == 0 ? 0 : (DWORD)BoundedLength(g_state.logBuffer, g_state.logCapacity);
    DWORD boxLength = (DWORD)SendMessageA(box, WM_GETTEXTLENGTH, 0, 0);
    // Handing the box only the new text keeps a show's cost independent of the log's length.
    // Whenever the box may hold anything but the log's beginning, it gets the whole log again.
    if (g_state.logShown == LOG_SHOWN_NONE || g_state.logShown > length || boxLength != g_state.logShown) {
        SetWindowTextA(box, g_state.logBuffer);
    } else {
        // Out of view while it takes the new text and returns to the top, so that it neither draws
        // nor scrolls twice for one show; it is drawn once, the next time the window paints.
        // (WM_SETREDRAW would do the same on Windows, but not every platform's edit control obeys it.)
        LONG_PTR style = GetWindowLongPtrA(box, GWL_STYLE);
        SetWindowLongPtrA(box, GWL_STYLE, style & ~(LONG_PTR)WS_VISIBLE);
        if (length > g_state.logShown) {
            SendMessageA(box, EM_SETSEL, (WPARAM)g_state.logShown, (LPARAM)g_state.logShown);
            SendMessageA(box, EM_REPLACESEL, FALSE, (LPARAM)(g_state.logBuffer + g_state.logShown));
        }
        // The view a whole-text show leaves: the caret at the start and the first line in view.
        SendMessageA(box, EM_SETSEL, 0, 0);
        SendMessageA(box, EM_LINESCROLL, 0, -(LPARAM)SendMessageA(box, EM_GETFIRSTVISIBLELINE, 0, 0));
        SetWindowLongPtrA(box, GWL_STYLE, style);
        RedrawWindow(box, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
    g_state.logShown = length;
}

void ScrollStatusLogToEnd(HWND window)
{
    SendDlgItemMessageA(window, IDC_STATUS, WM_VSCROLL, SB_BOTTOM, 0);
}

void ReleaseStatusLog(void)
{
    free(g_state.logBuffer);
    g_state.logBuffer = NULL;
}

void PrepareStatusBox(HWND window)
{
    // Text handed over piecemeal counts against the box's limit, which is about 32,000 characters
    // unless raised; a long session's log is larger.
    SendDlgItemMessageA(window, IDC_STATUS, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
}

void SetStatusBoxText(HWND window, const char* text)
{
    SetDlgItemTextA(window, IDC_STATUS, text);
    g_state.logShown = LOG_SHOWN_NONE;
}
