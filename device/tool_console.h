// The XC3SProg Console: a window of the program's own in which the tool's output shows as a console shows it.
#ifndef LOADER_TOOL_CONSOLE_H
#define LOADER_TOOL_CONSOLE_H

#include <windows.h>
#include <stddef.h>

enum { CONSOLE_OFFSET_X = 630, CONSOLE_WIDTH = 740, CONSOLE_HEIGHT = 488 };

#define CONSOLE_CLASS_NAME "VLR_ConsoleClass"
#define CONSOLE_CAPTION "XC3SProg Console"
#define STOP_QUESTION "Stop XC3SProg now? A flash write that is cut off leaves the flash holding a broken image " \
                      "until it is loaded again."

// Command of the "Show XC3SProg Console" check box: shows the window (placed beside the Main window
// the first time) or hides it.
void ToggleToolConsole(HWND window);
// Shows the window, restored if it was minimised, and checks the box, as a checking does.
void OpenToolConsole(HWND window);

// What the tool printed, in the order it came; the window takes it at the next flush (or sooner,
// when much is waiting). The window exists from the first output on, hidden until it is first checked.
void AppendToolConsole(HWND window, const char* bytes, size_t size);
// Hands the window what is waiting for it; a flush that is not forced happens only while the window is
// shown, at most every 250 ms.
void FlushToolConsole(HWND window, BOOL force);
// The tool was stopped: "^C" where its output ended.
void MarkToolConsoleStopped(HWND window);

// Whether a message for this window belongs to the console (its frame or its text).
BOOL IsToolConsoleWindow(HWND window);

#endif
