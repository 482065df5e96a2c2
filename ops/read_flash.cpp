// Read flash to file: copies one of the card's flashes into "XFlash.bit" or "IFlash.bit".
#include "read_flash.h"

#include <string.h>

#include "command_lines.h"
#include "status_log.h"
#include "tool_runner.h"
#include "../app/loader_state.h"
#include "../res/resource.h"

void ReadFlashToFile(HWND window)
{
    char commandLine[COMMAND_LINE_CAPACITY];
    memset(commandLine, 0, sizeof commandLine);

    // The helper bitstreams lie in the Program directory, and the read file belongs there too,
    // wherever the Open dialog may have moved the current directory.
    SetCurrentDirectoryA(g_state.programDirectory);

    GrowStatusLog(LOG_STEP_LINE);
    AppendStatusLog("Reading Flash to file.\r\n");
    ShowStatusLog(window);
    ScrollStatusLogToEnd(window);

    // Nothing can change the radios while the Read runs, so the source is looked up once.
    const ReadSource* source = GetReadSource(IsDlgButtonChecked(window, IDC_READ_XFLASH) == BST_CHECKED);
    HANDLE file = CreateFileA(source->fileName, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);

    CopyText(commandLine, sizeof commandLine, source->helperCommand);
    RunProgrammingTool(window, commandLine);

    CopyText(commandLine, sizeof commandLine, source->readCommand);
    if (RunProgrammingTool(window, commandLine) == TOOL_OK)
        AppendStatusLog(source->resultLine);
    else
        AppendStatusLog("IO Error");

    if (IsDlgButtonChecked(window, IDC_LOAD_AFTER_READ) == BST_CHECKED)
        RunProgrammingTool(window, source->loadBackCommand);

    ShowStatusLog(window);
    ScrollStatusLogToEnd(window);
}
