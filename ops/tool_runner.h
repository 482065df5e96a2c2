// Runs the programming tool once, hidden, and waits for its end.
#ifndef LOADER_TOOL_RUNNER_H
#define LOADER_TOOL_RUNNER_H

#include <windows.h>

enum { TOOL_OK = 0, TOOL_NOT_STARTED = 1, TOOL_FAILED = 2 };

#define TOOL_STOP_HINT "XC3SProg is still working: Ctrl+C in the XC3SProg Console stops it.\r\n"

// Returns TOOL_OK when the tool ran and exited with status 0 without printing a failure, TOOL_NOT_STARTED
// when it could not be started, TOOL_FAILED when it failed or was stopped.
int RunProgrammingTool(HWND window, const char* commandLine);

// Whether a tool runs that a stop would end: not outside a run, nor once it has ended or been stopped.
BOOL ProgrammingToolRunning(void);

// A confirmed stop in the XC3SProg Console: ends the running tool, and whatever it started; nothing once
// ProgrammingToolRunning no longer holds.
void StopProgrammingTool(void);

// A close request while the tool runs: shows the XC3SProg Console, restored and in front, and, once a run,
// says how to stop the tool.
void ShowHowToStopTool(HWND window);

#endif
