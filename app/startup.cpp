// Start-up: the window class, the associated file, the program's paths, and the run of the Main window.
#include "startup.h"

#include <commctrl.h>

#include "loader_state.h"
#include "path_split.h"
#include "settings.h"
#include "../res/resource.h"
#include "../ui/main_dialog.h"

BOOL RegisterLoaderClass(HINSTANCE instance)
{
    WNDCLASSEXA description = {};
    description.cbSize = sizeof description;
    if (!GetClassInfoExA(NULL, MAKEINTATOM(0x8002), &description))
        return FALSE;
    description.hInstance = instance;
    description.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_LOADER));
    description.lpszClassName = LOADER_CLASS_NAME;
    return RegisterClassExA(&description) != 0;
}

void SetUpProgramPaths(const char* remainder)
{
    char modulePath[PATH_CAPACITY];
    TakeAssociatedFile(remainder, g_state.associatedFile, sizeof g_state.associatedFile);

    g_state.programDirectory[0] = '\0';
    g_state.settingsPath[0] = '\0';
    DWORD length = GetModuleFileNameA(NULL, modulePath, sizeof modulePath);
    // A path that filled the whole buffer was cut: it names some other folder, so keep none.
    if (length == 0 || length >= sizeof modulePath)
        return;
    SplitFilePath(modulePath, g_state.directoryPart, g_state.titlePart, g_state.extensionPart);
    char directory[PATH_CAPACITY];
    CopyText(directory, sizeof directory, g_state.directoryPart);
    if (!AppendText(directory, sizeof directory, "\\"))
        return;
    CopyText(g_state.programDirectory, sizeof g_state.programDirectory, directory);
    char settings[PATH_CAPACITY];
    CopyText(settings, sizeof settings, directory);
    if (AppendText(settings, sizeof settings, SETTINGS_FILE_NAME))
        CopyText(g_state.settingsPath, sizeof g_state.settingsPath, settings);
}

int RunLoader(HINSTANCE instance, const char* remainder)
{
    g_state.instance = instance;
    g_state.firstShow = TRUE;

    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    if (!RegisterLoaderClass(instance))
        return 0;

    SetUpProgramPaths(remainder);
    WriteSettingString(SECTION_DIRECTORIES, KEY_DEF_DIR, g_state.programDirectory);
    WriteSettingString(SECTION_FILES, KEY_ASSOCIATED_FILE, g_state.associatedFile);

    return (int)DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
}
