// The XC3SProg Console: a window of the program's own in which the tool's output shows as a console shows it.
#include "tool_console.h"

#include "../app/loader_state.h"
#include "../ops/command_cycle.h"
#include "../ops/tool_runner.h"
#include "../res/resource.h"
#include "../ui/window_position.h"

enum { CONSOLE_FLUSH_INTERVAL_MS = 250, CONSOLE_FONT_HEIGHT = 16 };

static const COLORREF kConsoleTextColour = RGB(204, 204, 204);

// Which end of a selection the caret stands at: EM_GETSEL gives only the lower and the higher end, while the
// control keeps the anchor, from which Shift and the arrow keys extend the selection, apart. With the focus
// the caret tells; without it the selection stands as the focus left it.
static BOOL SelectionBackwards(HWND text, DWORD low, DWORD high, BOOL focused)
{
    if (low == high)
        return FALSE;
    if (!focused)
        return g_state.consoleSelectionBackwards;
    POINT caret;
    LRESULT at = SendMessageA(text, EM_POSFROMCHAR, low, 0);
    return GetCaretPos(&caret) && at != -1 && caret.x == (short)LOWORD(at) && caret.y == (short)HIWORD(at);
}

// A stop cuts a flash write off, so it is asked for first, and Enter answers No. The Main window waits
// with the question, as under a box of the whole program; the runner's timer goes on watching the run
// meanwhile, and a tool that ends before the answer leaves nothing to stop.
static void AskToStopTool(void)
{
    if (!ProgrammingToolRunning())
        return;
    HWND main = g_state.mainWindow;
    BOOL mainWasEnabled = main != NULL && !EnableWindow(main, FALSE);
    int answer = MessageBoxA(g_state.consoleWindow, STOP_QUESTION, CONSOLE_CAPTION, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2);
    if (mainWasEnabled)
        EnableWindow(main, TRUE);
    if (answer == IDYES)
        StopProgrammingTool();
}

// Keys in the text: Ctrl+C copies a selection, or asks to stop the running tool when nothing is selected;
// Ctrl+Break always asks. Only Ctrl+C itself counts: not with Shift, nor with Alt (AltGr is Ctrl+Alt).
// Everything else is the read-only edit control's own.
static LRESULT CALLBACK ConsoleTextProc(HWND text, UINT message, WPARAM wParam, LPARAM lParam)
{
    BOOL stopKey = message == WM_KEYDOWN &&
                   (wParam == VK_CANCEL || (wParam == 'C' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_SHIFT) >= 0 &&
                                            GetKeyState(VK_MENU) >= 0));
    DWORD low = 0, high = 0;
    if (stopKey) {
        // A key held down acts once: its repeats come with the key already down.
        if (lParam & 0x40000000)
            return 0;
        SendMessageA(text, EM_GETSEL, (WPARAM)&low, (LPARAM)&high);
        // A copy keeps the selection: a second Ctrl+C copies again, also after a copy that failed because
        // another program held the clipboard.
        if (wParam == 'C' && low != high)
            SendMessageA(text, WM_COPY, 0, 0);
        else
            AskToStopTool();
        return 0;
    }
    // The character that Ctrl+C and Ctrl+Break leave behind was dealt with at the key.
    if (message == WM_CHAR && wParam == 3)
        return 0;
    if (message == WM_KILLFOCUS) {
        // The caret is still there to tell, until the control's own handling removes it.
        SendMessageA(text, EM_GETSEL, (WPARAM)&low, (LPARAM)&high);
        g_state.consoleSelectionBackwards = SelectionBackwards(text, low, high, TRUE);
    }
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
        ShowWindow(g_state.consoleWindow, IsIconic(g_state.consoleWindow) ? SW_RESTORE : SW_SHOW);
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
// in one replacement, and drops its oldest lines beyond those kept; a selection, with its anchor and
// its caret, and a view the person chose stay on the same text. The steps between would each show (the
// text scrolled to its end and back), so the control draws nothing until the last, then all at once.
static void HandOverConsoleText(void)
{
    HWND text = g_state.consoleTextBox;
    BOOL follow = ViewAtEnd(text);
    DWORD selStart = 0, selEnd = 0, oldEnd = (DWORD)GetWindowTextLengthA(text);
    SendMessageA(text, EM_GETSEL, (WPARAM)&selStart, (LPARAM)&selEnd);
    BOOL backwards = SelectionBackwards(text, selStart, selEnd, GetFocus() == text);
    LRESULT firstVisible = SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0);
    SendMessageA(text, WM_SETREDRAW, FALSE, 0);

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
        // The first value is the anchor, the second the caret.
        SendMessageA(text, EM_SETSEL, backwards ? selEnd : selStart, backwards ? selStart : selEnd);
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
    SendMessageA(text, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(text, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
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
