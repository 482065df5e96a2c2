// The files around a flash command's tool runs: the helper bitstream it needs, the read file it must not lose.
#ifndef LOADER_FLASH_FILES_H
#define LOADER_FLASH_FILES_H

#include <windows.h>

#include "command_lines.h"

// TRUE when the helper bitstream is a file in the current directory, where the tool looks for it;
// otherwise the Status log names the missing file.
BOOL HelperBitstreamPresent(const char* helperFile);

// Moves the earlier read file to the source's kept name and leaves an empty read file for the tool.
// FALSE, with the reason in the Status log, when the earlier file could not be moved: it is then untouched.
BOOL SetReadFileAside(const ReadSource* source);

// Ends what SetReadFileAside began: after a good read the kept copy goes; after a failed one the
// earlier file comes back as it was, or no read file is left when there was none.
void SettleReadFile(const ReadSource* source, BOOL readSucceeded);

#endif
