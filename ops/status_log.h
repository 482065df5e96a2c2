// The Status log: one growing text mirrored whole into the status box.
#ifndef LOADER_STATUS_LOG_H
#define LOADER_STATUS_LOG_H

#include <windows.h>
#include <stddef.h>

enum { LOG_STEP_LINE = 100, LOG_STEP_REPORT = 400 };

// The box holds something other than the log's beginning: the next show sets the whole log.
#define LOG_SHOWN_NONE ((DWORD)-1)

// The allocator behind the log; a test may put a failing one in its place.
typedef void* (*LogReallocator)(void* block, size_t size);
extern LogReallocator g_logRealloc;

// Releases any old buffer and obtains a new, minimal one holding empty text.
// Returns FALSE when none was obtained.
BOOL StartStatusLog(void);
// Adds step to the capacity; when the buffer cannot grow, the old buffer, its text and its capacity stay.
void GrowStatusLog(DWORD step);
void ClearStatusLog(void);
// Appends text, cut so that it always fits the capacity; nothing happens without a buffer.
void AppendStatusLog(const char* text);
// Makes the status box show the whole log, handing it only what it does not hold yet.
void ShowStatusLog(HWND window);
// The same, and the log's end in view, as a show followed by ScrollStatusLogToEnd leaves the box.
void ShowStatusLogAtEnd(HWND window);
// While the tool runs: its progress line in the box after the log, in view; it never enters the log,
// and the next show puts the log's new text in its place.
void ShowStatusProgress(HWND window, const char* line);
void ScrollStatusLogToEnd(HWND window);
void ReleaseStatusLog(void);

// Lets the status box take a log of any length; called once, when the Main window first shows.
void PrepareStatusBox(HWND window);
// A text that goes to the status box without entering the log ("File not found!", "Allocation Error!").
void SetStatusBoxText(HWND window, const char* text);

#endif
