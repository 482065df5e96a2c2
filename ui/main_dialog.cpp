// The Main window's dialog procedure: initialisation, position keeping and command routing.
#include "main_dialog.h"

#include <string.h>

#include "about_box.h"
#include "file_chooser.h"
#include "pictures.h"
#include "window_position.h"
#include "../app/loader_state.h"
#include "../app/recent_files.h"
#include "../app/settings.h"
#include "../device/cable_detection.h"
#include "../device/tool_console.h"
#include "../ops/command_cycle.h"
#include "../ops/load_command.h"
#include "../ops/read_flash.h"
#include "../ops/status_log.h"
#include "../res/resource.h"

static void ResizeWindowBy(HWND window, int delta)
{
    RECT rect;
    GetWindowRect(window, &rect);
    MoveWindow(window, rect.left, rect.top, rect.right - rect.left + delta, rect.bottom - rect.top, TRUE);
}

static void EnableOperations(HWND window, BOOL enable)
{
    EnableWindow(GetDlgItem(window, IDC_LOAD), enable);
    EnableWindow(GetDlgItem(window, IDC_READ), enable);
}

static void RestoreCheckBox(HWND window, int id, const char* key)
{
    // Bytes, not the locale's collation, which passes over some characters (a soft hyphen after "TRUE").
    if (strcmp(ReadSettingString(SECTION_ADVANCED, key, SETTINGS_MISSING), SETTINGS_TRUE) == 0)
        CheckDlgButton(window, id, BST_CHECKED);
}

static void StoreCheckBox(HWND window, int id, const char* key)
{
    char text[6];
    lstrcpyA(text, IsDlgButtonChecked(window, id) == BST_CHECKED ? SETTINGS_TRUE : SETTINGS_FALSE);
    WriteSettingString(SECTION_ADVANCED, key, text);
}

static void ShowFirstTime(HWND window)
{
    ResizeWindowBy(window, -ADVANCED_PANEL_WIDTH);
    PrepareStatusBox(window);
    RestoreWindowPosition(window);
}

static void ApplyAssociatedFile(HWND window)
{
    SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, g_state.associatedFile);
    CopyText(g_state.bitstreamPath, sizeof g_state.bitstreamPath, g_state.associatedFile);
    PushRecentFile();
    FillRecentFileCombo(window);
    SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, g_state.associatedFile);
    WriteSettingString(SECTION_FILES, KEY_LAST_FILE, g_state.bitstreamPath);
}

static BOOL InitMainWindow(HWND window)
{
    if (g_state.firstShow)
        ShowFirstTime(window);
    EnableOperations(window, FALSE);
    CheckRadioButton(window, IDC_DEST_FPGA, IDC_DEST_IFLASH, IDC_DEST_FPGA);
    CheckRadioButton(window, IDC_READ_XFLASH, IDC_READ_IFLASH, IDC_READ_XFLASH);
    FillRecentFileCombo(window);

    ReadSettingStringTo(SECTION_FILES, KEY_LAST_FILE, SETTINGS_MISSING,
                        g_state.bitstreamPath, sizeof g_state.bitstreamPath);
    SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, g_state.bitstreamPath);
    // Every Settings read goes through a buffer of PATH_CAPACITY, the title's included.
    ReadSettingStringTo(SECTION_FILES, KEY_LAST_FILE_TITLE, SETTINGS_MISSING,
                        g_state.bitstreamTitle, PATH_CAPACITY);
    if (g_state.associatedFile[0] != '\0')
        ApplyAssociatedFile(window);

    RestoreCheckBox(window, IDC_LOAD_AFTER_FLASH, KEY_LOAD_AFTER_FLASH);
    RestoreCheckBox(window, IDC_LOAD_AFTER_READ, KEY_LOAD_AFTER_READ);

    if (!StartStatusLog()) {
        SetStatusBoxText(window, "Allocation Error!");
        return FALSE;
    }
    if ((LONG)CountDevices(window) > 0) {
        ListDevices(window);
        EnableOperations(window, TRUE);
    }
    return TRUE;
}

static void ToggleAdvancedPanel(HWND window)
{
    BOOL show = SendDlgItemMessageA(window, IDC_ADVANCED, BM_GETCHECK, 0, 0) != 0;
    ResizeWindowBy(window, show ? ADVANCED_PANEL_WIDTH : -ADVANCED_PANEL_WIDTH);
}

static void StartHelp(void)
{
    SetCurrentDirectoryA(g_state.programDirectory);
    WinExec("Help.bat", SW_HIDE);
}

static void ChooseDestination(HWND window, int id)
{
    CheckRadioButton(window, IDC_DEST_FPGA, IDC_DEST_IFLASH, id);
    ShowDestinationPictures(window, id);
}

static void ChooseReadSource(HWND window, int id)
{
    CheckRadioButton(window, IDC_READ_XFLASH, IDC_READ_IFLASH, id);
    ShowDestinationPictures(window, id == IDC_READ_XFLASH ? IDC_PIC_XFLASH_FILE : IDC_PIC_IFLASH_FILE);
}

// With "Load FPGA from Flash" on, the file and the destination do not matter.
static void ToggleFromFlash(HWND window)
{
    BOOL enable = SendDlgItemMessageA(window, IDC_FPGA_FROM_FLASH, BM_GETCHECK, 0, 0) == 0;
    static const int kControls[] = { IDC_BROWSE, IDC_DEST_FPGA, IDC_DEST_XFLASH, IDC_DEST_IFLASH,
                                     IDC_BITSTREAM_COMBO };
    for (size_t i = 0; i < sizeof kControls / sizeof kControls[0]; ++i)
        EnableWindow(GetDlgItem(window, kControls[i]), enable);
    ShowDestinationPictures(window, IDC_FPGA_FROM_FLASH);
}

static void RefreshMainWindow(HWND window)
{
    SendMessageA(window, WM_INITDIALOG, 0, 0);
    // The radios are back at their defaults, so the picture must follow them.
    ShowDestinationPictures(window, 0);
}

static void ReadFlash(HWND window)
{
    ReadFlashToFile(window);
    ShowDestinationPictures(window, 0);
}

static void RouteCommand(HWND window, int id)
{
    switch (id) {
    case IDC_QUIT:
        EndDialog(window, 1);
        break;
    case IDC_LOAD:
        RunBlockingCommand(window, IDC_LOAD, TRUE, LoadBitstream);
        break;
    case IDC_BROWSE:
        ChooseBitstream(window);
        break;
    case IDC_ABOUT:
        ShowAboutBox(window);
        break;
    case IDC_HELP_BUTTON:
        StartHelp();
        break;
    case IDC_ADVANCED:
        ToggleAdvancedPanel(window);
        break;
    case IDC_REFRESH:
        RunBlockingCommand(window, IDC_REFRESH, FALSE, RefreshMainWindow);
        break;
    case IDC_DEST_FPGA:
    case IDC_DEST_XFLASH:
    case IDC_DEST_IFLASH:
        ChooseDestination(window, id);
        break;
    case IDC_FPGA_FROM_FLASH:
        ToggleFromFlash(window);
        break;
    case IDC_READ:
        RunBlockingCommand(window, IDC_READ, TRUE, ReadFlash);
        break;
    case IDC_READ_XFLASH:
    case IDC_READ_IFLASH:
        ChooseReadSource(window, id);
        break;
    case IDC_SHOW_CONSOLE:
        ToggleToolConsole(window);
        break;
    case IDC_LOAD_AFTER_FLASH:
        StoreCheckBox(window, IDC_LOAD_AFTER_FLASH, KEY_LOAD_AFTER_FLASH);
        break;
    case IDC_LOAD_AFTER_READ:
        StoreCheckBox(window, IDC_LOAD_AFTER_READ, KEY_LOAD_AFTER_READ);
        break;
    }
}

// A dialog procedure's answer goes through DWLP_MSGRESULT, a pointer-sized slot on both builds.
static_assert(sizeof(INT_PTR) == sizeof(void*) && sizeof(LONG_PTR) == sizeof(void*), "pointer-sized results");

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // While a command waits for the tool the window still answers: nothing may start or end meanwhile.
    if (RefuseDuringCommand(window, message, wParam, lParam))
        return TRUE;
    switch (message) {
    case WM_INITDIALOG:
        return InitMainWindow(window);
    case WM_MOVE:
        SaveWindowPosition(window);
        return FALSE;
    case WM_CLOSE:
        ReleaseStatusLog();
        EndDialog(window, 0);
        return FALSE;
    case WM_COMMAND:
        RouteCommand(window, LOWORD(wParam));
        return FALSE;
    case WM_MOUSEMOVE:
        TrackPictureHover(window, (short)LOWORD(lParam), (short)HIWORD(lParam));
        return FALSE;
    case WM_QUERYENDSESSION:
        return AnswerEndSession(window);
    }
    return FALSE;
}
