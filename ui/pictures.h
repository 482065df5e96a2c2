// The Destination pictures: which of the six pictures shows, and the picture while hovering the Advanced panel.
#ifndef LOADER_PICTURES_H
#define LOADER_PICTURES_H

#include <windows.h>

// request: IDC_PIC_XFLASH_FILE or IDC_PIC_IFLASH_FILE to show that picture; anything else follows
// the destination controls. Always returns 0.
int ShowDestinationPictures(HWND window, int request);

// WM_MOUSEMOVE at client position (x, y).
void TrackPictureHover(HWND window, int x, int y);

#endif
