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
    g_state.progressShown = 0;
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

static DWORD LogLength(void)
{
    return g_state.logCapacity == 0 ? 0 : (DWORD)BoundedLength(g_state.logBuffer, g_state.logCapacity);
}

// Whether the box holds the log's first logShown characters, perhaps followed by a progress line,
// so that the new text can be handed over alone.
static BOOL BoxHoldsShownLog(HWND box, DWORD length)
{
    if (g_state.logShown == LOG_SHOWN_NONE || g_state.logShown > length)
        return FALSE;
    return (DWORD)SendMessageA(box, WM_GETTEXTLENGTH, 0, 0) == g_state.logShown + g_state.progressShown;
}

// Makes the box show the whole log, with the caret at its start, and its view at the start or at the end.
static void ShowLog(HWND window, BOOL atEnd)
{
    if (g_state.logBuffer == NULL)
        return;
    HWND box = GetDlgItem(window, IDC_STATUS);
    DWORD length = LogLength();
    // Handing the box only the new text keeps a show's cost independent of the log's length.
    // Whenever the box may hold anything but the log's beginning, it gets the whole log again.
    BOOL holdsLog = BoxHoldsShownLog(box, length);
    if (holdsLog && atEnd && length == g_state.logShown && g_state.progressShown == 0) {
        ScrollStatusLogToEnd(window);  // nothing new: only the view moves
    } else if (!holdsLog) {
        SetWindowTextA(box, g_state.logBuffer);
        if (atEnd)
            ScrollStatusLogToEnd(window);
    } else {
        // Out of view while it takes the new text and moves its view, so that it neither draws
        // nor scrolls twice for one show; it is drawn once, the next time the window paints.
        // (WM_SETREDRAW would do the same on Windows, but not every platform's edit control obeys it.)
        LONG_PTR style = GetWindowLongPtrA(box, GWL_STYLE);
        SetWindowLongPtrA(box, GWL_STYLE, style & ~(LONG_PTR)WS_VISIBLE);
        if (length > g_state.logShown || g_state.progressShown > 0) {
            // The new text takes the place of the progress line, if one is shown.
            SendMessageA(box, EM_SETSEL, (WPARAM)g_state.logShown, (LPARAM)(g_state.logShown + g_state.progressShown));
            SendMessageA(box, EM_REPLACESEL, FALSE, (LPARAM)(g_state.logBuffer + g_state.logShown));
        }
        // The caret where a whole-text show leaves it, at the start; the view there too, or at the
        // log's end, which taking the new text has already about reached.
        SendMessageA(box, EM_SETSEL, 0, 0);
        if (atEnd)
            ScrollStatusLogToEnd(window);
        else
            SendMessageA(box, EM_LINESCROLL, 0, -(LPARAM)SendMessageA(box, EM_GETFIRSTVISIBLELINE, 0, 0));
        SetWindowLongPtrA(box, GWL_STYLE, style);
        RedrawWindow(box, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }
    g_state.logShown = length;
    g_state.progressShown = 0;
}

void ShowStatusLog(HWND window)
{
    ShowLog(window, FALSE);
}

void ShowStatusLogAtEnd(HWND window)
{
    ShowLog(window, TRUE);
}

void ShowStatusProgress(HWND window, const char* line)
{
    if (g_state.logBuffer == NULL)
        return;
    HWND box = GetDlgItem(window, IDC_STATUS);
    DWORD length = LogLength();
    // Shown after the log as it was last shown; a box that holds anything else first gets the log again.
    if (!BoxHoldsShownLog(box, length) || g_state.logShown != length)
        ShowStatusLogAtEnd(window);
    SendMessageA(box, EM_SETSEL, (WPARAM)g_state.logShown, (LPARAM)(g_state.logShown + g_state.progressShown));
    SendMessageA(box, EM_REPLACESEL, FALSE, (LPARAM)line);
    g_state.progressShown = (DWORD)SendMessageA(box, WM_GETTEXTLENGTH, 0, 0) - g_state.logShown;
    ScrollStatusLogToEnd(window);
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
    g_state.progressShown = 0;
}
