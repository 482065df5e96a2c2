// The Recent-file list: the last bitstreams used, kept only in the Settings file.
#ifndef LOADER_RECENT_FILES_H
#define LOADER_RECENT_FILES_H

#include <windows.h>

// Puts the current bitstream path at entry 1, moving the others down, unless it is entry 1 already.
void PushRecentFile(void);

// Empties the bitstream combo box and fills it with entries 1 to the capacity.
void FillRecentFileCombo(HWND window);

#endif
