// Read flash to file: copies one of the card's flashes into "XFlash.bit" or "IFlash.bit".
#include "read_flash.h"

#include <string.h>

#include "command_lines.h"
#include "flash_files.h"
#include "status_log.h"
#include "tool_runner.h"
#include "../app/loader_state.h"
#include "../res/resource.h"

// The helper bitstream decides which flash the read reaches: without it, no read.
static BOOL RunReadSteps(HWND window, const ReadSource* source)
{
    char commandLine[COMMAND_LINE_CAPACITY];
    memset(commandLine, 0, sizeof commandLine);
    CopyText(commandLine, sizeof commandLine, source->helperCommand);
    if (RunProgrammingTool(window, commandLine) != TOOL_OK)
        return FALSE;
    CopyText(commandLine, sizeof commandLine, source->readCommand);
    return RunProgrammingTool(window, commandLine) == TOOL_OK;
}

void ReadFlashToFile(HWND window)
{
    // The helper bitstreams lie in the Program directory, and the read file belongs there too,
    // wherever the Open dialog may have moved the current directory.
    SetCurrentDirectoryA(g_state.programDirectory);

    GrowStatusLog(LOG_STEP_LINE);
    AppendStatusLog("Reading Flash to file.\r\n");
    ShowStatusLogAtEnd(window);

    // Nothing can change the radios while the Read runs, so the source is looked up once.
    const ReadSource* source = GetReadSource(IsDlgButtonChecked(window, IDC_READ_XFLASH) == BST_CHECKED);
    BOOL read = FALSE;
    if (HelperBitstreamPresent(source->helperFile) && SetReadFileAside(source)) {
        read = RunReadSteps(window, source);
        SettleReadFile(source, read);
    }

    // A failed read leaves nothing worth loading into the FPGA.
    if (read) {
        AppendStatusLog(source->resultLine);
        if (IsDlgButtonChecked(window, IDC_LOAD_AFTER_READ) == BST_CHECKED)
            RunProgrammingTool(window, source->loadBackCommand);
    } else {
        AppendStatusLog("IO Error");
    }

    ShowStatusLogAtEnd(window);
}
