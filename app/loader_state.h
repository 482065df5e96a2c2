// The process-wide record that holds all of the program's state for the whole run.
#ifndef LOADER_STATE_H
#define LOADER_STATE_H

#include <windows.h>
#include <commdlg.h>

#include "text_util.h"
#include "../device/console_text.h"

struct ToolRun;

enum { DEVICE_DESCRIPTION_CAPACITY = 64, CHECK_CONTROL_COUNT = 10 };

struct LoaderState {
    HINSTANCE instance;
    char associatedFile[PATH_CAPACITY];
    char programDirectory[PATH_CAPACITY];   // ends in one backslash
    char settingsPath[PATH_CAPACITY];       // empty when it would not fit: settings are then not kept
    char directoryPart[PATH_CAPACITY];
    char titlePart[PATH_CAPACITY];
    char extensionPart[PATH_CAPACITY];
    char settingsBuffer[PATH_CAPACITY];
    char bitstreamPath[PATH_CAPACITY];
    char bitstreamTitle[TITLE_CAPACITY];
    int windowX;
    int windowY;
    BOOL firstShow;
    BOOL hovering;
    DWORD deviceCount;
    char deviceDescription[DEVICE_DESCRIPTION_CAPACITY];
    char* logBuffer;
    DWORD logCapacity;
    // The status box holds the log's first logShown characters, then, while the tool runs, one progress
    // line of progressShown characters: a show hands it only what follows, and a progress line goes in
    // place of the one before. Anything else in the box (LOG_SHOWN_NONE) makes the next show set it whole.
    DWORD logShown;
    DWORD progressShown;
    BOOL commandRunning;                    // a command's tool runs and pauses are under way
    UINT checkStates[CHECK_CONTROL_COUNT];  // the check boxes and radios as the command found them
    ToolRun* toolRun;                       // the tool run under way, for the timer and for Ctrl+C
    HWND mainWindow;                        // the Main window, for the XC3SProg Console's check box
    HWND consoleWindow;                     // the XC3SProg Console, from the tool's first output on
    HWND consoleTextBox;                    // its text
    WNDPROC consoleTextProc;                // the text control's own procedure, behind the keys of ours
    HFONT consoleFont;
    BOOL consolePlaced;                     // placed beside the Main window at its first showing
    BOOL consoleSelectionBackwards;         // its text's caret stood at the start of the selection when it lost the focus
    DWORD consoleFlushedAt;
    ConsoleText consoleText;                // what the text has not taken yet
    OPENFILENAMEA openFile;
};

extern LoaderState g_state;

// Back to the state of a fresh process (the log buffer is released first).
void ResetLoaderState(void);

#endif
