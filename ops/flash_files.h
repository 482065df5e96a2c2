// The files around a flash command's tool runs: the helper bitstream it needs.
#ifndef LOADER_FLASH_FILES_H
#define LOADER_FLASH_FILES_H

#include <windows.h>

// TRUE when the helper bitstream is a file in the current directory, where the tool looks for it;
// otherwise the Status log names the missing file.
BOOL HelperBitstreamPresent(const char* helperFile);

#endif
