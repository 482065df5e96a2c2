// Runs the programming tool once, hidden, and waits for its end.
#include "tool_runner.h"

#include "command_cycle.h"
#include "command_lines.h"
#include "status_log.h"
#include "../app/text_util.h"

int RunProgrammingTool(HWND window, const char* commandLine)
{
    GrowStatusLog(LOG_STEP_LINE);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};

    AppendStatusLog("XC3SProg processing.\r\n");
    ShowStatusLog(window);
    ShowCommandProgress(window);

    // CreateProcessA may write into the command line, so it gets a copy of its own.
    char line[COMMAND_LINE_CAPACITY];
    CopyText(line, sizeof line, commandLine);
    if (!CreateProcessA(NULL, line, NULL, NULL, FALSE, IDLE_PRIORITY_CLASS, NULL, NULL,
                        &startup, &process)) {
        AppendStatusLog("Run XC3SProg failed!\r\n");
        ShowStatusLog(window);
        return TOOL_NOT_STARTED;
    }

    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = (DWORD)-1;
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);

    if (exitCode == 0) {
        AppendStatusLog("XC3SProg done.\r\n");
        ShowStatusLog(window);
        return TOOL_OK;
    }
    char number[NUMBER_TEXT_CAPACITY];
    IntToDecimal((long)(int)exitCode, number, sizeof number);
    AppendStatusLog("XC3SProg failed with exit code ");
    AppendStatusLog(number);
    AppendStatusLog(".\r\n");
    ShowStatusLog(window);
    return TOOL_FAILED;
}
