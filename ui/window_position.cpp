// The Main window's position: restored within reach at the first show, saved on every normal move;
// the Tool console opens within reach by the same rule.
#include "window_position.h"

#include "../app/loader_state.h"
#include "../app/settings.h"

// How much of the caption must lie on a work area for the user to grab it.
static const LONG kCaptionPieceWidth = 100;
static const LONG kCaptionPieceHeight = 20;
static const LONG kFarthest = 1 << 24;

struct CaptionSearch {
    RECT caption;
    LONG needWidth;
    LONG needHeight;
    BOOL reachable;
};

static BOOL CALLBACK FindCaptionMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    CaptionSearch* search = (CaptionSearch*)data;
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    RECT overlap;
    if (GetMonitorInfoA(monitor, &info) && IntersectRect(&overlap, &search->caption, &info.rcWork) &&
        overlap.right - overlap.left >= search->needWidth && overlap.bottom - overlap.top >= search->needHeight) {
        search->reachable = TRUE;
        return FALSE;
    }
    return TRUE;
}

static LONG Clamp(LONG value, LONG low, LONG high)
{
    if (value > high)
        value = high;
    return value < low ? low : value;
}

void KeepCaptionWithinReach(int* x, int* y, LONG width, LONG height, LONG captionHeight)
{
    // No screen reaches this far; held here, the sums below cannot overflow.
    *x = (int)Clamp(*x, -kFarthest, kFarthest);
    *y = (int)Clamp(*y, -kFarthest, kFarthest);

    CaptionSearch search = {};
    SetRect(&search.caption, *x, *y, *x + width, *y + captionHeight);
    search.needWidth = width < kCaptionPieceWidth ? width : kCaptionPieceWidth;
    search.needHeight = captionHeight < kCaptionPieceHeight ? captionHeight : kCaptionPieceHeight;
    EnumDisplayMonitors(NULL, NULL, FindCaptionMonitor, (LPARAM)&search);
    if (search.reachable)
        return;

    RECT placed = { *x, *y, *x + width, *y + height };
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(MonitorFromRect(&placed, MONITOR_DEFAULTTONEAREST), &info))
        return;
    *x = (int)Clamp(*x, info.rcWork.left, info.rcWork.right - width);
    *y = (int)Clamp(*y, info.rcWork.top, info.rcWork.bottom - height);
}

LONG CaptionHeight(HWND window)
{
    RECT frame;
    GetWindowRect(window, &frame);
    POINT clientOrigin = { 0, 0 };
    ClientToScreen(window, &clientOrigin);
    return clientOrigin.y - frame.top;
}

void RestoreWindowPosition(HWND window)
{
    int x = (int)DecimalToInt(ReadSettingString(SECTION_POSITION, KEY_X, SETTINGS_MISSING));
    int y = (int)DecimalToInt(ReadSettingString(SECTION_POSITION, KEY_Y, SETTINGS_MISSING));
    RECT frame;
    GetWindowRect(window, &frame);
    KeepCaptionWithinReach(&x, &y, frame.right - frame.left, frame.bottom - frame.top, CaptionHeight(window));
    g_state.windowX = x;
    g_state.windowY = y;
    // Cleared before the move, so that moves made while the window is still being set up
    // cannot overwrite the saved position before it has been read; the restore's own move saves.
    g_state.firstShow = FALSE;
    SetWindowPos(window, NULL, x, y, 0, 0, SWP_NOSIZE);
}

void SaveWindowPosition(HWND window)
{
    // A minimised window's position is no place to reopen at; the last normal one stays.
    if (g_state.firstShow || IsIconic(window) || IsZoomed(window))
        return;
    RECT rect;
    GetWindowRect(window, &rect);
    g_state.windowX = rect.left;
    g_state.windowY = rect.top;
    WriteSettingInt(SECTION_POSITION, KEY_X, g_state.windowX);
    WriteSettingInt(SECTION_POSITION, KEY_Y, g_state.windowY);
}
