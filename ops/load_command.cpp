// The Load command: puts the chosen bitstream into the FPGA or one of the flashes.
#include "load_command.h"

#include <shlwapi.h>
#include <string.h>

#include "command_cycle.h"
#include "command_lines.h"
#include "flash_files.h"
#include "status_log.h"
#include "tool_runner.h"
#include "../app/loader_state.h"
#include "../app/path_split.h"
#include "../app/recent_files.h"
#include "../app/settings.h"
#include "../res/resource.h"

static BOOL IsChecked(HWND window, int id)
{
    return IsDlgButtonChecked(window, id) == BST_CHECKED;
}

static BOOL FromFlashChecked(HWND window)
{
    return SendDlgItemMessageA(window, IDC_FPGA_FROM_FLASH, BM_GETCHECK, 0, 0) != 0;
}

// Records the bitstream as the last file and the most recent one, before any tool runs.
static void RecordBitstream(HWND window)
{
    SplitFilePath(g_state.bitstreamPath, g_state.directoryPart, g_state.bitstreamTitle,
                  g_state.extensionPart);
    PushRecentFile();
    FillRecentFileCombo(window);
    WriteSettingString(SECTION_FILES, KEY_LAST_FILE, g_state.bitstreamPath);
    SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, g_state.bitstreamPath);
    AppendText(g_state.bitstreamTitle, sizeof g_state.bitstreamTitle, g_state.extensionPart);
}

static void LoadFpga(HWND window, BOOL fromFlash, const char* quotedPath, char* commandLine)
{
    if (fromFlash)
        CopyText(commandLine, COMMAND_LINE_CAPACITY, TOOL_RECONFIGURE);
    else
        BuildFpgaLoadCommand(quotedPath, commandLine, COMMAND_LINE_CAPACITY);
    if (RunProgrammingTool(window, commandLine) == TOOL_OK) {
        AppendStatusLog(FromFlashChecked(window) ? "Flash" : g_state.bitstreamTitle);
        AppendStatusLog(" loaded into FPGA\r\n");
    } else {
        AppendStatusLog("IO Error\r\n");
    }
}

// The helper bitstream decides which flash the write reaches, and "-R" boots from what was written:
// each step runs only after the one before it succeeded.
static void LoadFlash(HWND window, BOOL internal, const char* quotedPath, char* commandLine)
{
    AppendStatusLog(internal ? "Waiting for internal flash to be loaded.\r\n"
                             : "Waiting for external flash to be loaded.\r\n");
    ShowStatusLogAtEnd(window);

    if (!HelperBitstreamPresent(internal ? HELPER_INTERNAL_FILE : HELPER_EXTERNAL_FILE) ||
        RunProgrammingTool(window, internal ? TOOL_HELPER_INTERNAL : TOOL_HELPER_EXTERNAL) != TOOL_OK) {
        AppendStatusLog("IO Error\r\n");
        return;
    }
    PauseCommand(window, 50);

    BuildFlashWriteCommand(quotedPath, commandLine, COMMAND_LINE_CAPACITY);
    if (RunProgrammingTool(window, commandLine) != TOOL_OK) {
        AppendStatusLog("IO Error\r\n");
        return;
    }
    PauseCommand(window, 100);
    AppendStatusLog(internal ? "Internal Flash loaded.\r\n" : "External Flash loaded.\r\n");

    if (IsChecked(window, IDC_LOAD_AFTER_FLASH))
        RunProgrammingTool(window, TOOL_RECONFIGURE);
}

void LoadBitstream(HWND window)
{
    char quotedPath[QUOTED_PATH_CAPACITY];
    char commandLine[COMMAND_LINE_CAPACITY];

    BOOL fromFlash = FromFlashChecked(window);
    SetCurrentDirectoryA(g_state.programDirectory);
    GetDlgItemTextA(window, IDC_BITSTREAM_COMBO, g_state.bitstreamPath, sizeof g_state.bitstreamPath);
    if (!PathFileExistsA(g_state.bitstreamPath)) {
        SetStatusBoxText(window, "File not found!\r\n");
        return;
    }

    RecordBitstream(window);
    BuildQuotedPath(g_state.bitstreamPath, quotedPath, sizeof quotedPath);
    memset(commandLine, 0, sizeof commandLine);
    GrowStatusLog(LOG_STEP_REPORT);
    AppendStatusLog("\r\n");

    if (IsChecked(window, IDC_DEST_FPGA) || fromFlash)
        LoadFpga(window, fromFlash, quotedPath, commandLine);
    else if (IsChecked(window, IDC_DEST_IFLASH))
        LoadFlash(window, TRUE, quotedPath, commandLine);
    else if (IsChecked(window, IDC_DEST_XFLASH))
        LoadFlash(window, FALSE, quotedPath, commandLine);
    ShowStatusLogAtEnd(window);
}
