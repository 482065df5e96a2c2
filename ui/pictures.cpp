// The Destination pictures: which of the six pictures shows, and the picture while hovering the Advanced panel.
#include "pictures.h"

#include "../app/loader_state.h"
#include "../res/resource.h"

static void ShowPicture(HWND window, int id, int command)
{
    ShowWindow(GetDlgItem(window, id), command);
}

int ShowDestinationPictures(HWND window, int request)
{
    static const int kPictures[] = { IDC_PIC_PC_IFLASH, IDC_PIC_PC_FPGA, IDC_PIC_FLASH_FPGA,
                                     IDC_PIC_PC_XFLASH, IDC_PIC_XFLASH_FILE, IDC_PIC_IFLASH_FILE };
    for (size_t i = 0; i < sizeof kPictures / sizeof kPictures[0]; ++i)
        ShowPicture(window, kPictures[i], SW_HIDE);

    if (request == IDC_PIC_XFLASH_FILE || request == IDC_PIC_IFLASH_FILE) {
        ShowPicture(window, request, SW_SHOW);
        return 0;
    }
    if (SendDlgItemMessageA(window, IDC_FPGA_FROM_FLASH, BM_GETCHECK, 0, 0) != 0) {
        ShowPicture(window, IDC_PIC_FLASH_FPGA, SW_SHOW);
        return 0;
    }
    if (IsDlgButtonChecked(window, IDC_DEST_FPGA) == BST_CHECKED)
        ShowPicture(window, IDC_PIC_PC_FPGA, SW_SHOW);
    if (IsDlgButtonChecked(window, IDC_DEST_XFLASH) == BST_CHECKED)
        ShowPicture(window, IDC_PIC_PC_XFLASH, SW_SHOW);
    if (IsDlgButtonChecked(window, IDC_DEST_IFLASH) == BST_CHECKED)
        ShowPicture(window, IDC_PIC_PC_IFLASH, SW_SHOW);
    return 0;
}

void TrackPictureHover(HWND window, int x, int y)
{
    POINT point = { x, y };
    HWND child = ChildWindowFromPoint(window, point);
    if (child != NULL && child == GetDlgItem(window, IDC_ADVANCED_GROUP)) {
        if (!g_state.hovering) {
            g_state.hovering = TRUE;
            ShowDestinationPictures(window, IsDlgButtonChecked(window, IDC_READ_XFLASH) == BST_CHECKED
                                                ? IDC_PIC_XFLASH_FILE : IDC_PIC_IFLASH_FILE);
        }
    } else if (g_state.hovering) {
        g_state.hovering = FALSE;
        ShowDestinationPictures(window, 0);
    }
}
