// The command cycle: what every command that blocks the Main window goes through.
#include "command_cycle.h"

#include "status_log.h"
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
    body(window);
    BlockShutdown(window, FALSE);
    g_state.commandRunning = FALSE;
    DiscardQueuedInput();
    if (disableStarter)
        EnableWindow(starter, TRUE);
    RestoreFocus(window, starter);
}

BOOL RefuseDuringCommand(HWND window, UINT message, WPARAM wParam)
{
    if (!g_state.commandRunning)
        return FALSE;
    switch (message) {
    case WM_COMMAND:
        for (int i = 0; i < CHECK_CONTROL_COUNT; ++i)
            if (IsDlgButtonChecked(window, kCheckControls[i]) != g_state.checkStates[i])
                CheckDlgButton(window, kCheckControls[i], g_state.checkStates[i]);
        return TRUE;
    case WM_CLOSE:
        return TRUE;
    case WM_SYSCOMMAND:
        return (wParam & 0xFFF0) == SC_CLOSE;
    }
    return FALSE;
}

BOOL AnswerEndSession(HWND window)
{
    if (!g_state.commandRunning)
        return FALSE;
    SetWindowLongPtrA(window, DWLP_MSGRESULT, FALSE);
    return TRUE;
}

void TakeMessagesDuringCommand(void)
{
    MSG message;
    // Painting and what other programs send are answered; a person's input and a request to quit,
    // both aimed at a window that cannot act on them now, are dropped.
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE))
        if (!IsPersonInput(message.message) && message.message != WM_QUIT)
            DispatchMessageA(&message);
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
