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
    // A minimal block of one byte, so that every allocator returns a real block to grow from.
    g_state.logBuffer = (char*)g_logRealloc(NULL, 1);
    return g_state.logBuffer != NULL;
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
    if (g_state.logBuffer != NULL && g_state.logCapacity > 0)
        SetDlgItemTextA(window, IDC_STATUS, g_state.logBuffer);
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
