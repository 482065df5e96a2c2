/* libftdi's open as it goes on a Windows PC where FTDI's own driver holds the cable: libusb (loaded at run
   time by the tool's libusb_dyn.c, as in its Windows releases) finds no bus or no such device, the open fails
   in libftdi's words, and the tool falls back to the D2XX driver. Nothing past the open is ever reached. */
#include <stdlib.h>

#include "ftdi.h"
#include "libusb/usb.h"

static int Fail(struct ftdi_context* ftdi, int code, const char* text)
{
    if (ftdi != NULL)
        ftdi->error_str = text;
    return code;
}

struct ftdi_context* ftdi_new(void)
{
    struct ftdi_context* ftdi = (struct ftdi_context*)calloc(1, sizeof *ftdi);
    if (ftdi != NULL) {
        ftdi->type = TYPE_BM;
        ftdi->interface = INTERFACE_ANY;
        ftdi->error_str = "";
    }
    return ftdi;
}

void ftdi_free(struct ftdi_context* ftdi) { free(ftdi); }
void ftdi_deinit(struct ftdi_context* ftdi) { (void)ftdi; }

int ftdi_set_interface(struct ftdi_context* ftdi, enum ftdi_interface interface)
{
    if (ftdi == NULL)
        return -2;
    ftdi->interface = interface;
    return 0;
}

/* libftdi 0.x: usb_init, then the busses and devices through libusb. A cable bound to FTDI's driver is
   invisible to libusb, so no device of the cable's VID and PID is ever found. */
int ftdi_usb_open_desc(struct ftdi_context* ftdi, int vendor, int product, const char* description, const char* serial)
{
    (void)vendor, (void)product, (void)description, (void)serial;
    usb_init();
    if (usb_find_busses() < 0)
        return Fail(ftdi, -1, "usb_find_busses() failed");
    if (usb_find_devices() < 0)
        return Fail(ftdi, -2, "usb_find_devices() failed");
    return Fail(ftdi, -3, "device not found");
}

int ftdi_usb_close(struct ftdi_context* ftdi) { return Fail(ftdi, -3, "device not open"); }
int ftdi_usb_reset(struct ftdi_context* ftdi) { return Fail(ftdi, -2, "USB device unavailable"); }
int ftdi_usb_purge_buffers(struct ftdi_context* ftdi) { return Fail(ftdi, -2, "USB device unavailable"); }
int ftdi_set_bitmode(struct ftdi_context* ftdi, unsigned char bitmask, unsigned char mode)
{
    (void)bitmask, (void)mode;
    return Fail(ftdi, -2, "USB device unavailable");
}
int ftdi_set_latency_timer(struct ftdi_context* ftdi, unsigned char latency)
{
    (void)latency;
    return Fail(ftdi, -3, "USB device unavailable");
}
int ftdi_read_data(struct ftdi_context* ftdi, unsigned char* buf, int size)
{
    (void)buf, (void)size;
    return Fail(ftdi, -666, "USB device unavailable");
}
int ftdi_write_data(struct ftdi_context* ftdi, unsigned char* buf, int size)
{
    (void)buf, (void)size;
    return Fail(ftdi, -666, "USB device unavailable");
}
char* ftdi_get_error_string(struct ftdi_context* ftdi) { return (char*)(ftdi != NULL ? ftdi->error_str : ""); }
