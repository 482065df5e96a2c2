// Read flash to file: copies one of the card's flashes into "XFlash.bit" or "IFlash.bit".
#ifndef LOADER_READ_FLASH_H
#define LOADER_READ_FLASH_H

#include <windows.h>

void ReadFlashToFile(HWND window);

#endif
