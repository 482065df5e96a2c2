// The Load command: puts the chosen bitstream into the FPGA or one of the flashes.
#ifndef LOADER_LOAD_COMMAND_H
#define LOADER_LOAD_COMMAND_H

#include <windows.h>

void LoadBitstream(HWND window);

#endif
