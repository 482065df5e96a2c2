/* The part of libftdi 0.x's interface that the tool compiles against: on the Windows PCs the loader runs on,
   FTDI's own driver holds the cable and libftdi cannot open it, so only the declarations matter, and a
   stand-in (libftdi_standin.c) fails the open as libftdi does there. The MPSSE opcodes are FTDI's
   (application note AN_108). */
#ifndef XC3SPROG_BUILD_FTDI_H
#define XC3SPROG_BUILD_FTDI_H

#ifdef __cplusplus
extern "C" {
#endif

enum ftdi_chip_type { TYPE_AM = 0, TYPE_BM = 1, TYPE_2232C = 2, TYPE_R = 3, TYPE_2232H = 4, TYPE_4232H = 5, TYPE_232H = 6 };
enum ftdi_interface { INTERFACE_ANY = 0, INTERFACE_A = 1, INTERFACE_B = 2, INTERFACE_C = 3, INTERFACE_D = 4 };
enum ftdi_mpsse_mode {
    BITMODE_RESET = 0x00, BITMODE_BITBANG = 0x01, BITMODE_MPSSE = 0x02, BITMODE_SYNCBB = 0x04,
    BITMODE_MCU = 0x08, BITMODE_OPTO = 0x10, BITMODE_CBUS = 0x20, BITMODE_SYNCFF = 0x40
};

/* Shifting commands */
#define MPSSE_WRITE_NEG 0x01
#define MPSSE_BITMODE   0x02
#define MPSSE_READ_NEG  0x04
#define MPSSE_LSB       0x08
#define MPSSE_DO_WRITE  0x10
#define MPSSE_DO_READ   0x20
#define MPSSE_WRITE_TMS 0x40
/* Other commands */
#define SET_BITS_LOW    0x80
#define SET_BITS_HIGH   0x82
#define GET_BITS_LOW    0x81
#define GET_BITS_HIGH   0x83
#define LOOPBACK_START  0x84
#define LOOPBACK_END    0x85
#define TCK_DIVISOR     0x86
#define SEND_IMMEDIATE  0x87
#define WAIT_ON_HIGH    0x88
#define WAIT_ON_LOW     0x89

struct ftdi_context {
    enum ftdi_chip_type type;
    enum ftdi_interface interface;
    const char* error_str;
};

struct ftdi_context* ftdi_new(void);
void ftdi_free(struct ftdi_context* ftdi);
void ftdi_deinit(struct ftdi_context* ftdi);
int ftdi_set_interface(struct ftdi_context* ftdi, enum ftdi_interface interface);
int ftdi_usb_open_desc(struct ftdi_context* ftdi, int vendor, int product, const char* description, const char* serial);
int ftdi_usb_close(struct ftdi_context* ftdi);
int ftdi_usb_reset(struct ftdi_context* ftdi);
int ftdi_usb_purge_buffers(struct ftdi_context* ftdi);
int ftdi_set_bitmode(struct ftdi_context* ftdi, unsigned char bitmask, unsigned char mode);
int ftdi_set_latency_timer(struct ftdi_context* ftdi, unsigned char latency);
int ftdi_read_data(struct ftdi_context* ftdi, unsigned char* buf, int size);
int ftdi_write_data(struct ftdi_context* ftdi, unsigned char* buf, int size);
char* ftdi_get_error_string(struct ftdi_context* ftdi);

#ifdef __cplusplus
}
#endif

#endif
