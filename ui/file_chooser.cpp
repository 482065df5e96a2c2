// The bitstream file chooser behind the "..." button.
#include "file_chooser.h"

#include <cderr.h>
#include <string.h>

#include "../app/loader_state.h"
#include "../app/recent_files.h"
#include "../app/settings.h"
#include "../res/resource.h"

static const char kBitstreamFilter[] = "Bitstream Files (*.bit)\0*.bit\0All Files (*.*)\0*.*\0";
static char s_dialogTitle[32];

void PrepareOpenFile(HWND owner, const char* filter, const char* title)
{
    OPENFILENAMEA* record = &g_state.openFile;
    memset(record, 0, sizeof *record);
    record->lStructSize = sizeof *record;
    record->hwndOwner = owner;
    record->lpstrFilter = filter;
    record->nMaxFile = sizeof g_state.bitstreamPath;
    record->nMaxFileTitle = sizeof g_state.bitstreamTitle;
    record->lpstrTitle = title;
    record->lpstrDefExt = "bit";
}

// The common dialogs' library is loaded on the first use, not with the program: only this chooser
// needs it, and it is a heavy part of the program's start.
static FARPROC DialogFunction(const char* name)
{
    HMODULE dialogs = GetModuleHandleA("comdlg32.dll");
    if (dialogs == NULL)
        dialogs = LoadLibraryA("comdlg32.dll");
    return dialogs != NULL ? GetProcAddress(dialogs, name) : NULL;
}

int RunOpenFile(HWND owner, char* fileBuffer, char* titleBuffer)
{
    OPENFILENAMEA* record = &g_state.openFile;
    record->hwndOwner = owner;
    record->lpstrFile = fileBuffer;
    record->lpstrFileTitle = titleBuffer;
    record->Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    typedef BOOL(WINAPI * OpenFileNameProc)(LPOPENFILENAMEA);
    typedef DWORD(WINAPI * ExtendedErrorProc)(void);
    OpenFileNameProc getOpenFileName = (OpenFileNameProc)(void*)DialogFunction("GetOpenFileNameA");
    ExtendedErrorProc extendedError = (ExtendedErrorProc)(void*)DialogFunction("CommDlgExtendedError");
    if (getOpenFileName == NULL)
        return -1;
    BOOL chosen = getOpenFileName(record);
    // The dialog refuses some starting names outright (a folder, a name with quotes), and would
    // refuse them at every later try too: it opens without one instead.
    if (!chosen && fileBuffer[0] != '\0' && extendedError != NULL && extendedError() == FNERR_INVALIDFILENAME) {
        fileBuffer[0] = '\0';
        chosen = getOpenFileName(record);
    }
    return chosen ? record->nFileOffset : -1;
}

void ChooseBitstream(HWND window)
{
    // The dialog works on copies, so that a cancel leaves the current path and title untouched
    // whatever the dialog did to its buffers.
    char path[PATH_CAPACITY];
    char title[TITLE_CAPACITY];
    CopyText(path, sizeof path, g_state.bitstreamPath);
    CopyText(title, sizeof title, g_state.bitstreamTitle);
    CopyText(s_dialogTitle, sizeof s_dialogTitle, "Select file bitstream: ");
    PrepareOpenFile(window, kBitstreamFilter, s_dialogTitle);
    if (RunOpenFile(window, path, title) == -1)
        return;
    CopyText(g_state.bitstreamPath, sizeof g_state.bitstreamPath, path);
    CopyText(g_state.bitstreamTitle, sizeof g_state.bitstreamTitle, title);
    PushRecentFile();
    FillRecentFileCombo(window);
    WriteSettingString(SECTION_FILES, KEY_LAST_FILE, g_state.bitstreamPath);
    WriteSettingString(SECTION_FILES, KEY_LAST_FILE_TITLE, g_state.bitstreamTitle);
    SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, g_state.bitstreamPath);
    SendMessageA(window, WM_SETFOCUS, 0, 0);
}
