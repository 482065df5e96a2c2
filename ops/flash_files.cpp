// The files around a flash command's tool runs: the helper bitstream it needs.
#include "flash_files.h"

#include "status_log.h"

static BOOL IsFile(const char* name)
{
    DWORD attributes = GetFileAttributesA(name);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// One line of the log; with the longest name it stays under the growth made for it.
static void ReportFile(const char* before, const char* name, const char* after)
{
    GrowStatusLog(LOG_STEP_LINE);
    AppendStatusLog(before);
    AppendStatusLog(name);
    AppendStatusLog(after);
}

BOOL HelperBitstreamPresent(const char* helperFile)
{
    // The real tool skips a bitstream it cannot open and ends as if it had loaded it, so that the FPGA
    // keeps whatever it held and the next step reaches the wrong flash.
    if (IsFile(helperFile))
        return TRUE;
    ReportFile("Helper bitstream ", helperFile, " not found in the program folder.\r\n");
    return FALSE;
}
