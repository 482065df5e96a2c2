// The XC3SProg Console: a window of the program's own in which the tool's output shows as a console shows it.
#include "tool_console.h"

#include "../app/loader_state.h"
#include "../ops/command_cycle.h"
#include "../ops/tool_runner.h"
#include "../res/resource.h"
#include "../ui/window_position.h"

enum { CONSOLE_FLUSH_INTERVAL_MS = 250, CONSOLE_FONT_HEIGHT = 16 };

static const COLORREF kConsoleTextColour = RGB(204, 204, 204);

// Keys in the text: Ctrl+C copies a selection, or stops the running tool when nothing is selected;
// Ctrl+Break always stops it. Everything else is the read-only edit control's own.
static LRESULT CALLBACK ConsoleTextProc(HWND text, UINT message, WPARAM wParam, LPARAM lParam)
{
    BOOL control = GetKeyState(VK_CONTROL) < 0;
    if (message == WM_KEYDOWN && (wParam == VK_CANCEL || (wParam == 'C' && control))) {
        DWORD start = 0, end = 0;
        SendMessageA(text, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
        if (wParam == 'C' && start != end) {
            SendMessageA(text, WM_COPY, 0, 0);
            SendMessageA(text, EM_SETSEL, end, end);
        } else {
            StopProgrammingTool();
        }
        return 0;
    }
    // The character that Ctrl+C and Ctrl+Break leave behind was dealt with at the key.
    if (message == WM_CHAR && wParam == 3)
        return 0;
    return CallWindowProcA(g_state.consoleTextProc, text, message, wParam, lParam);
}

static void HideToolConsole(void)
{
    ShowWindow(g_state.consoleWindow, SW_HIDE);
    SetCheckDuringCommand(g_state.mainWindow, IDC_SHOW_CONSOLE, BST_UNCHECKED);
}

static LRESULT CALLBACK ConsoleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SIZE:
        MoveWindow(g_state.consoleTextBox, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_SETFOCUS:
        SetFocus(g_state.consoleTextBox);
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
        SetTextColor((HDC)wParam, kConsoleTextColour);
        SetBkColor((HDC)wParam, RGB(0, 0, 0));
        return (LRESULT)GetStockObject(BLACK_BRUSH);
    case WM_CLOSE:
        // Closing only hides it: nothing done to this window ends the program or the tool.
        HideToolConsole();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

static BOOL CreateToolConsole(HWND mainWindow)
{
    g_state.mainWindow = mainWindow;
    WNDCLASSEXA description = {};
    description.cbSize = sizeof description;
    description.lpfnWndProc = ConsoleWindowProc;
    description.hInstance = g_state.instance;
    description.hIcon = LoadIconA(g_state.instance, MAKEINTRESOURCEA(IDI_LOADER));
    description.hCursor = LoadCursorA(NULL, (LPCSTR)IDC_ARROW);
    description.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
    description.lpszClassName = CONSOLE_CLASS_NAME;
    RegisterClassExA(&description);
    // Top-level and without owner, so that it has a taskbar button of its own and stays where the
    // person puts it, whatever the Main window does.
    g_state.consoleWindow = CreateWindowExA(WS_EX_APPWINDOW, CONSOLE_CLASS_NAME, CONSOLE_CAPTION, WS_OVERLAPPEDWINDOW,
                                            CW_USEDEFAULT, CW_USEDEFAULT, CONSOLE_WIDTH, CONSOLE_HEIGHT, NULL, NULL,
                                            g_state.instance, NULL);
    if (g_state.consoleWindow == NULL)
        return FALSE;
    // A read-only edit control: its text can be selected and copied, and read by a screen reader or
    // another program (WM_GETTEXT).
    g_state.consoleTextBox = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL |
                                             ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_NOHIDESEL,
                                             0, 0, 0, 0, g_state.consoleWindow, (HMENU)(INT_PTR)IDC_CONSOLE_TEXT,
                                             g_state.instance, NULL);
    if (g_state.consoleTextBox == NULL) {
        DestroyWindow(g_state.consoleWindow);
        g_state.consoleWindow = NULL;
        return FALSE;
    }
    RECT client;
    GetClientRect(g_state.consoleWindow, &client);
    MoveWindow(g_state.consoleTextBox, 0, 0, client.right, client.bottom, FALSE);
    SendMessageA(g_state.consoleTextBox, EM_SETLIMITTEXT, 0x7FFFFFFE, 0);
    g_state.consoleFont = CreateFontA(-CONSOLE_FONT_HEIGHT, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                      FIXED_PITCH | FF_MODERN, "Consolas");
    SendMessageA(g_state.consoleTextBox, WM_SETFONT,
                 (WPARAM)(g_state.consoleFont ? g_state.consoleFont : GetStockObject(ANSI_FIXED_FONT)), FALSE);
    g_state.consoleTextProc =
        (WNDPROC)SetWindowLongPtrA(g_state.consoleTextBox, GWLP_WNDPROC, (LONG_PTR)ConsoleTextProc);
    return TRUE;
}

void OpenToolConsole(HWND window)
{
    if (g_state.consoleWindow == NULL && !CreateToolConsole(window))
        return;
    SetCheckDuringCommand(window, IDC_SHOW_CONSOLE, BST_CHECKED);
    FlushToolConsole(window, TRUE);
    if (g_state.consolePlaced) {
        ShowWindow(g_state.consoleWindow, SW_SHOW);
        return;
    }
    // Beside the Main window, unless that would put its caption out of reach (the Main window near
    // a screen's right edge); later it comes back wherever the person left it.
    g_state.consolePlaced = TRUE;
    int x = g_state.windowX + CONSOLE_OFFSET_X, y = g_state.windowY;
    KeepCaptionWithinReach(&x, &y, CONSOLE_WIDTH, CONSOLE_HEIGHT, CaptionHeight(g_state.consoleWindow));
    SetWindowPos(g_state.consoleWindow, HWND_NOTOPMOST, x, y, CONSOLE_WIDTH, CONSOLE_HEIGHT, SWP_SHOWWINDOW);
    // The output that came before it was shown is there, its end in view.
    SendMessageA(g_state.consoleTextBox, WM_VSCROLL, SB_BOTTOM, 0);
}

void ToggleToolConsole(HWND window)
{
    if (SendDlgItemMessageA(window, IDC_SHOW_CONSOLE, BM_GETCHECK, 0, 0) == BST_CHECKED)
        OpenToolConsole(window);
    else if (g_state.consoleWindow != NULL)
        ShowWindow(g_state.consoleWindow, SW_HIDE);
}

// Whether the person reads the end of the text, so that new output may move the view along.
static BOOL ViewAtEnd(HWND text)
{
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_ALL;
    if (!IsWindowVisible(text) || !GetScrollInfo(text, SB_VERT, &info) || info.nMax <= 0)
        return TRUE;
    return info.nPos + (int)info.nPage > info.nMax;
}

// Where the current line starts in the text: the start of its last line, since no line of the text wraps.
static DWORD CurrentLineStart(HWND text)
{
    return (DWORD)SendMessageA(text, EM_LINEINDEX, SendMessageA(text, EM_GETLINECOUNT, 0, 0) - 1, 0);
}

// The window takes the finished lines and the current line in place of the current line it holds,
// in one replacement, and drops its oldest lines beyond those kept; a selection and a view the person
// chose stay on the same text. Each change costs the control a redraw of its scroll bars, so a
// hand-over makes as few as it can.
static void HandOverConsoleText(void)
{
    HWND text = g_state.consoleTextBox;
    BOOL follow = ViewAtEnd(text);
    DWORD selStart = 0, selEnd = 0, oldEnd = (DWORD)GetWindowTextLengthA(text);
    SendMessageA(text, EM_GETSEL, (WPARAM)&selStart, (LPARAM)&selEnd);
    LRESULT firstVisible = SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0);

    SendMessageA(text, EM_SETSEL, CurrentLineStart(text), -1);
    SendMessageA(text, EM_REPLACESEL, FALSE, (LPARAM)ConsoleTextForWindow(&g_state.consoleText));
    ConsoleTextTaken(&g_state.consoleText);

    // The kept lines, and the current line after them.
    LRESULT lines = SendMessageA(text, EM_GETLINECOUNT, 0, 0), dropped = 0;
    DWORD removed = 0;
    if (lines > CONSOLE_KEPT_LINES + 1) {
        dropped = lines - (CONSOLE_KEPT_LINES + 1);
        removed = (DWORD)SendMessageA(text, EM_LINEINDEX, (WPARAM)dropped, 0);
        SendMessageA(text, EM_SETSEL, 0, removed);
        SendMessageA(text, EM_REPLACESEL, FALSE, (LPARAM)"");
    }
    // A caret at the old end follows the text to its new end, as the replacement left it.
    if (selStart != oldEnd || selEnd != oldEnd) {
        selStart = selStart > removed ? selStart - removed : 0;
        selEnd = selEnd > removed ? selEnd - removed : 0;
        SendMessageA(text, EM_SETSEL, selStart, selEnd);
    } else if (removed > 0) {
        DWORD end = (DWORD)GetWindowTextLengthA(text);
        SendMessageA(text, EM_SETSEL, end, end);
    }
    // The replacement brought its end into view; a person reading further up keeps the same lines in view.
    if (follow && removed > 0) {
        SendMessageA(text, WM_VSCROLL, SB_BOTTOM, 0);
    } else if (!follow) {
        LRESULT wanted = firstVisible > dropped ? firstVisible - dropped : 0;
        SendMessageA(text, EM_LINESCROLL, 0, wanted - SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0));
    }
    g_state.consoleFlushedAt = GetTickCount();
}

void FlushToolConsole(HWND window, BOOL force)
{
    ConsoleText* console = &g_state.consoleText;
    if (console->pendingLength == 0 && !console->lineChanged)
        return;
    // A hidden window takes the text when it is shown, at the run's end, or when much is waiting.
    BOOL shown = g_state.consoleWindow != NULL && IsWindowVisible(g_state.consoleWindow);
    if (!force && (!shown || GetTickCount() - g_state.consoleFlushedAt < CONSOLE_FLUSH_INTERVAL_MS))
        return;
    // Created hidden at the first output, so that it holds all the tool printed when it is first shown.
    if (g_state.consoleWindow == NULL && !CreateToolConsole(window)) {
        ConsoleTextTaken(console);  // no window to show it: dropped, never piled up
        return;
    }
    HandOverConsoleText();
}

void AppendToolConsole(HWND window, const char* bytes, size_t size)
{
    while (size > 0) {
        size_t taken = TakeConsoleText(&g_state.consoleText, bytes, size);
        bytes += taken;
        size -= taken;
        if (size > 0)
            FlushToolConsole(window, TRUE);
    }
}

void MarkToolConsoleStopped(HWND window)
{
    if (!EndConsoleLineWith(&g_state.consoleText, "^C")) {
        FlushToolConsole(window, TRUE);
        EndConsoleLineWith(&g_state.consoleText, "^C");
    }
    FlushToolConsole(window, TRUE);
}

BOOL IsToolConsoleWindow(HWND window)
{
    return g_state.consoleWindow != NULL && window != NULL &&
           (window == g_state.consoleWindow || IsChild(g_state.consoleWindow, window));
}
