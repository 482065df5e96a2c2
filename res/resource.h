// Every resource and control ID of the program, defined once for the resource script and the code.
#ifndef LOADER_RESOURCE_H
#define LOADER_RESOURCE_H

// Dialog templates
#define IDD_MAIN                1001
#define IDD_ABOUT               1002

// Bitmaps of the Destination pictures
#define IDB_PC_TO_FPGA          4015
#define IDB_XFLASH_TO_FILE      8001
#define IDB_FLASH_TO_FPGA       8003
#define IDB_PC_TO_IFLASH        8004
#define IDB_PC_TO_XFLASH        8005
#define IDB_IFLASH_TO_FILE      8006

// Program icon group
#define IDI_LOADER              8002

// Main window controls ("Quit" is the platform's IDCANCEL, 2)
#define IDC_QUIT                2
#define IDC_LOAD                4001
#define IDC_BITSTREAM_GROUP     4002
#define IDC_BITSTREAM_COMBO     4003
#define IDC_BROWSE              4004
#define IDC_ABOUT               4005
#define IDC_HELP_BUTTON                4006
#define IDC_ADVANCED            4007
#define IDC_INFO_GROUP          4008
#define IDC_STATUS              4009
#define IDC_DEST_GROUP          4010
#define IDC_REFRESH             4011
#define IDC_DEST_FPGA           4012
#define IDC_DEST_XFLASH         4013
#define IDC_DEST_IFLASH         4014
#define IDC_PIC_PC_FPGA         4015
#define IDC_FPGA_FROM_FLASH     4016
#define IDC_PIC_FLASH_FPGA      4017
#define IDC_PIC_PC_IFLASH       4018
#define IDC_PIC_PC_XFLASH       4019
#define IDC_ADVANCED_GROUP      4020
#define IDC_READ_GROUP          4021
#define IDC_READ                4022
#define IDC_READ_XFLASH         4023
#define IDC_READ_IFLASH         4024
#define IDC_SHOW_CONSOLE        4025
#define IDC_LOAD_AFTER_FLASH    4026
#define IDC_LOAD_AFTER_READ     4027
#define IDC_PIC_XFLASH_FILE     4032
#define IDC_PIC_IFLASH_FILE     4033

// XC3SProg Console controls (a window of its own)
#define IDC_CONSOLE_TEXT        100

// About box controls (these numbers belong to template IDD_ABOUT only)
#define IDC_ABOUT_OK            1
#define IDC_ABOUT_TEXT          4001
#define IDC_ABOUT_ICON          4002

#endif
