// Runs the programming tool once, hidden, and waits for its end.
#ifndef LOADER_TOOL_RUNNER_H
#define LOADER_TOOL_RUNNER_H

#include <windows.h>

enum { TOOL_OK = 0, TOOL_NOT_STARTED = 1, TOOL_FAILED = 2 };

// Returns TOOL_OK when the tool ran and exited with status 0, TOOL_NOT_STARTED when it could not
// be started, TOOL_FAILED when it ended with any other status.
int RunProgrammingTool(HWND window, const char* commandLine);

#endif
