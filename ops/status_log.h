// The Status log: one growing text mirrored whole into the status box.
#ifndef LOADER_STATUS_LOG_H
#define LOADER_STATUS_LOG_H

#include <windows.h>
#include <stddef.h>

enum { LOG_STEP_LINE = 100, LOG_STEP_REPORT = 400 };

// The allocator behind the log; a test may put a failing one in its place.
typedef void* (*LogReallocator)(void* block, size_t size);
extern LogReallocator g_logRealloc;

// Releases any old buffer and obtains a new, minimal one. Returns FALSE when none was obtained.
BOOL StartStatusLog(void);
// Adds step to the capacity; when the buffer cannot grow, the old buffer, its text and its capacity stay.
void GrowStatusLog(DWORD step);
void ClearStatusLog(void);
// Appends text, cut so that it always fits the capacity; nothing happens without a buffer.
void AppendStatusLog(const char* text);
void ShowStatusLog(HWND window);
void ScrollStatusLogToEnd(HWND window);
void ReleaseStatusLog(void);

#endif
