// The command cycle: what every command that blocks the Main window goes through.
#ifndef LOADER_COMMAND_CYCLE_H
#define LOADER_COMMAND_CYCLE_H

#include <windows.h>

typedef void (*CommandBody)(HWND window);

#define SHUTDOWN_BLOCK_REASON "Programming the card: please wait until VLR Loader has finished."

// Runs body with the window busy: disables the starter control first when disableStarter is set;
// meanwhile no other command starts, Windows is asked not to shut down and the PC is kept from idle
// sleep; afterwards drops the mouse and keyboard input made meanwhile, enables the starter again and,
// when the focus went nowhere, gives it back to the starter (or, if that is disabled, to the next tab stop).
void RunBlockingCommand(HWND window, int starterId, BOOL disableStarter, CommandBody body);

// For the dialog procedure: TRUE when the message must go unanswered because a command runs
// (a command, a close request); a check box or radio clicked meanwhile gets its former state back,
// and a close request shows how to stop the tool.
BOOL RefuseDuringCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Checks or unchecks a check box; during a command, that is the state the guard keeps.
void SetCheckDuringCommand(HWND window, int id, UINT state);

// WM_QUERYENDSESSION: refused while a command runs (TRUE: the answer is set); otherwise FALSE,
// and the platform's default answer lets Windows end the session.
BOOL AnswerEndSession(HWND window);

// While a command waits for the tool: the window paints and answers, its frame can be moved and the
// XC3SProg Console used; input on the Main window's controls is dropped.
void TakeMessagesDuringCommand(HWND window);

// Before a tool run or a pause: the window painted as it stands, with the log's last line in view.
void ShowCommandProgress(HWND window);

// A fixed pause inside a command, with the window showing its state meanwhile.
void PauseCommand(HWND window, DWORD milliseconds);

#endif
