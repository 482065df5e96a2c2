// The files around a flash command's tool runs: the helper bitstream it needs, the read file it must not lose.
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

BOOL SetReadFileAside(const ReadSource* source)
{
    // The move never replaces a kept copy: one that is already there holds the earlier content of a
    // Read that was cut off, and the read file holds only what that Read left.
    if (IsFile(source->fileName) && !MoveFileExA(source->fileName, source->keptFileName, 0) &&
        GetFileAttributesA(source->keptFileName) == INVALID_FILE_ATTRIBUTES) {
        ReportFile("", source->fileName, " could not be set aside; it is left as it was.\r\n");
        return FALSE;
    }
    // The tool expects the file to exist.
    HANDLE file = CreateFileA(source->fileName, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}

void SettleReadFile(const ReadSource* source, BOOL readSucceeded)
{
    BOOL kept = GetFileAttributesA(source->keptFileName) != INVALID_FILE_ATTRIBUTES;
    if (readSucceeded) {
        // A copy left behind would pass for the earlier content of a cut-off Read and cost the next
        // Read this one's content. A read-only earlier file is replaced like any other.
        if (kept && !(SetFileAttributesA(source->keptFileName, FILE_ATTRIBUTE_NORMAL) &&
                      DeleteFileA(source->keptFileName)))
            ReportFile("", source->keptFileName, " could not be removed; remove it before the next Read.\r\n");
    } else if (!kept) {
        DeleteFileA(source->fileName);
    } else if (!MoveFileExA(source->keptFileName, source->fileName, MOVEFILE_REPLACE_EXISTING)) {
        ReportFile("The earlier content stays in ", source->keptFileName, ".\r\n");
    }
}
