// The bitstream file chooser behind the "..." button.
#ifndef LOADER_FILE_CHOOSER_H
#define LOADER_FILE_CHOOSER_H

#include <windows.h>

// Resets the process-wide open-file record and sets its owner, filter and title.
void PrepareOpenFile(HWND owner, const char* filter, const char* title);

// Runs the Open dialog into fileBuffer/titleBuffer; the offset of the file name in the chosen path,
// or -1 when the user cancelled or the dialog failed.
int RunOpenFile(HWND owner, char* fileBuffer, char* titleBuffer);

// Command of the "..." button: choose a bitstream and record it.
void ChooseBitstream(HWND window);

#endif
