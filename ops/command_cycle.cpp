// The command cycle: what every command that blocks the Main window goes through.
#include "command_cycle.h"

#include "status_log.h"
#include "tool_runner.h"
#include "../device/tool_console.h"
#include "../app/loader_state.h"
#include "../res/resource.h"

// While a command runs its check boxes and radios keep the states it started with: a click sent by
// another program toggles the button itself before its command is refused.
static const int kCheckControls[CHECK_CONTROL_COUNT] = { IDC_ADVANCED, IDC_DEST_FPGA, IDC_DEST_XFLASH,
                                                         IDC_DEST_IFLASH, IDC_FPGA_FROM_FLASH, IDC_READ_XFLASH,
                                                         IDC_READ_IFLASH, IDC_SHOW_CONSOLE, IDC_LOAD_AFTER_FLASH,
                                                         IDC_LOAD_AFTER_READ };

// A person's input: the keyboard, the mouse over the client area and over the frame.
static const UINT kInputRanges[][2] = { { WM_KEYFIRST, WM_KEYLAST },
                                        { WM_MOUSEFIRST, WM_MOUSELAST },
                                        { WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK } };
enum { INPUT_RANGES = sizeof kInputRanges / sizeof kInputRanges[0] };

static BOOL IsPersonInput(UINT message)
{
    for (size_t i = 0; i < INPUT_RANGES; ++i)
        if (message >= kInputRanges[i][0] && message <= kInputRanges[i][1])
            return TRUE;
    return FALSE;
}

// Input that waited in the queue while the window was busy was aimed at a window that could not
// answer: a second click of a double-click, a click on "Quit", a key. Replayed now, it would start
// another command or end the program behind the user's back.
static void DiscardQueuedInput(void)
{
    MSG message;
    for (size_t i = 0; i < INPUT_RANGES; ++i)
        while (PeekMessageA(&message, NULL, kInputRanges[i][0], kInputRanges[i][1], PM_REMOVE))
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

// Looked up at run time, typed from the platform's own declarations: on the 32-bit build a calling
// convention that differs from the function's would unbalance the stack, and only a run would tell.
typedef decltype(&ShutdownBlockReasonCreate) ShutdownReasonCreate;
typedef decltype(&ShutdownBlockReasonDestroy) ShutdownReasonDestroy;
enum { SHUTDOWN_REASON_CAPACITY = 96 };
static_assert(sizeof SHUTDOWN_BLOCK_REASON <= SHUTDOWN_REASON_CAPACITY, "the reason fits its wide buffer");

// Windows shows the reason beside the program when it asks the user whether to shut down regardless.
// Older Windows lack the calls; there the program only refuses.
static void BlockShutdown(HWND window, BOOL block)
{
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user == NULL)
        return;
    if (!block) {
        ShutdownReasonDestroy destroy = (ShutdownReasonDestroy)(void*)GetProcAddress(user, "ShutdownBlockReasonDestroy");
        if (destroy != NULL)
            destroy(window);
        return;
    }
    ShutdownReasonCreate create = (ShutdownReasonCreate)(void*)GetProcAddress(user, "ShutdownBlockReasonCreate");
    WCHAR reason[SHUTDOWN_REASON_CAPACITY];
    if (create != NULL &&
        MultiByteToWideChar(CP_ACP, 0, SHUTDOWN_BLOCK_REASON, -1, reason, sizeof reason / sizeof reason[0]) > 0)
        create(window, reason);
}

void RunBlockingCommand(HWND window, int starterId, BOOL disableStarter, CommandBody body)
{
    HWND starter = GetDlgItem(window, starterId);
    if (disableStarter)
        EnableWindow(starter, FALSE);
    for (int i = 0; i < CHECK_CONTROL_COUNT; ++i)
        g_state.checkStates[i] = IsDlgButtonChecked(window, kCheckControls[i]);
    g_state.commandRunning = TRUE;
    BlockShutdown(window, TRUE);
    // Idle sleep would cut a flash write off as surely as a shut-down; the display may still go dark.
    SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
    body(window);
    SetThreadExecutionState(ES_CONTINUOUS);
    BlockShutdown(window, FALSE);
    g_state.commandRunning = FALSE;
    DiscardQueuedInput();
    if (disableStarter)
        EnableWindow(starter, TRUE);
    RestoreFocus(window, starter);
}

static int CheckControlIndex(int id)
{
    for (int i = 0; i < CHECK_CONTROL_COUNT; ++i)
        if (kCheckControls[i] == id)
            return i;
    return -1;
}

// A click on a check box or radio, sent by another program, toggles it before its command is refused:
// that one gets its state back. Every other notification (the status box's, as it takes the log) changes
// no check, and a command such as Refresh may set them itself.
static void UndoOutsideClick(HWND window, WPARAM wParam, LPARAM lParam)
{
    int id = LOWORD(wParam), i = CheckControlIndex(id);
    if (HIWORD(wParam) != BN_CLICKED || i < 0 || (HWND)lParam != GetDlgItem(window, id))
        return;
    if (IsDlgButtonChecked(window, id) != g_state.checkStates[i])
        CheckDlgButton(window, id, g_state.checkStates[i]);
}

BOOL RefuseDuringCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!g_state.commandRunning)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        UndoOutsideClick(window, wParam, lParam);
        return TRUE;
    case WM_CLOSE:
        ShowHowToStopTool(window);
        return TRUE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != SC_CLOSE)
            return FALSE;
        ShowHowToStopTool(window);
        return TRUE;
    }
    return FALSE;
}

void SetCheckDuringCommand(HWND window, int id, UINT state)
{
    CheckDlgButton(window, id, state);
    int i = CheckControlIndex(id);
    if (g_state.commandRunning && i >= 0)
        g_state.checkStates[i] = state;
}

BOOL AnswerEndSession(HWND window)
{
    if (!g_state.commandRunning)
        return FALSE;
    SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

// The person's input that may act while a command runs: all of it in the XC3SProg Console (scroll,
// select, copy, resize, hide, Ctrl+C), and the mouse on the Main window's frame (move, minimise, restore,
// close, which shows how to stop the tool). Clicks and keys on the Main window's controls are dropped.
static BOOL MayActDuringCommand(HWND window, const MSG* message)
{
    if (!IsPersonInput(message->message) || IsToolConsoleWindow(message->hwnd))
        return TRUE;
    return message->hwnd == window && message->message >= WM_NCMOUSEMOVE && message->message <= WM_NCXBUTTONDBLCLK;
}

void TakeMessagesDuringCommand(HWND window)
{
    MSG message;
    // A request to quit, aimed at a program that cannot end now, is dropped too.
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT || !MayActDuringCommand(window, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void ShowCommandProgress(HWND window)
{
    // Painted as it stands, should the wait to come take long before the window paints by itself.
    ShowStatusLogAtEnd(window);
    RedrawWindow(window, NULL, NULL, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void PauseCommand(HWND window, DWORD milliseconds)
{
    ShowCommandProgress(window);
    Sleep(milliseconds);
}
