// The Load command: puts the chosen bitstream into the FPGA or one of the flashes.
#ifndef LOADER_LOAD_COMMAND_H
#define LOADER_LOAD_COMMAND_H

#include <windows.h>

// Runs inside the command cycle, which keeps "Load" disabled for its duration.
void LoadBitstream(HWND window);

#endif
