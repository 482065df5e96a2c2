// The process-wide record that holds all of the program's state for the whole run.
#ifndef LOADER_STATE_H
#define LOADER_STATE_H

#include <windows.h>
#include <commdlg.h>

#include "text_util.h"

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
    DWORD logShown;                         // characters of the log that the status box holds
    DWORD progressShown;                    // characters of the tool's progress line after them
    BOOL commandRunning;                    // a command's tool runs and pauses are under way
    UINT checkStates[CHECK_CONTROL_COUNT];  // the check boxes and radios as the command found them
    HANDLE consoleOutput;                   // the Tool console's screen, once it exists
    OPENFILENAMEA openFile;
};

extern LoaderState g_state;

// Back to the state of a fresh process (the log buffer is released first).
void ResetLoaderState(void);

#endif
