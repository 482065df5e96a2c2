/* The part of libusb-0.1's (libusb-win32's) interface that the tool compiles against, declared as the tool's
   run-time loader of libusb0.dll (libusb_dyn.c) defines it. Only the XPC and FX2 cables use libusb, and
   libftdi's failed open; with no libusb0.dll beside the tool, every call fails as libusb_dyn.c makes it. */
#ifndef XC3SPROG_BUILD_LIBUSB_USB_H
#define XC3SPROG_BUILD_LIBUSB_USB_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define LIBUSB_PATH_MAX 512

struct usb_device_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned short bcdUSB;
    unsigned char bDeviceClass;
    unsigned char bDeviceSubClass;
    unsigned char bDeviceProtocol;
    unsigned char bMaxPacketSize0;
    unsigned short idVendor;
    unsigned short idProduct;
    unsigned short bcdDevice;
    unsigned char iManufacturer;
    unsigned char iProduct;
    unsigned char iSerialNumber;
    unsigned char bNumConfigurations;
};

struct usb_config_descriptor {
    unsigned char bLength;
    unsigned char bDescriptorType;
    unsigned short wTotalLength;
    unsigned char bNumInterfaces;
    unsigned char bConfigurationValue;
    unsigned char iConfiguration;
    unsigned char bmAttributes;
    unsigned char MaxPower;
    struct usb_interface* interface;
    unsigned char* extra;
    int extralen;
};

struct usb_bus;

struct usb_device {
    struct usb_device *next, *prev;
    char filename[LIBUSB_PATH_MAX];
    struct usb_bus* bus;
    struct usb_device_descriptor descriptor;
    struct usb_config_descriptor* config;
    void* dev;
    unsigned char devnum;
    unsigned char num_children;
    struct usb_device** children;
};

struct usb_bus {
    struct usb_bus *next, *prev;
    char dirname[LIBUSB_PATH_MAX];
    struct usb_device* devices;
    unsigned long location;
    struct usb_device* root_dev;
};

struct usb_version {
    struct { int major, minor, micro, nano; } dll;
    struct { int major, minor, micro, nano; } driver;
};

struct usb_dev_handle;
typedef struct usb_dev_handle usb_dev_handle;

usb_dev_handle* usb_open(struct usb_device* dev);
int usb_close(usb_dev_handle* dev);
int usb_get_string(usb_dev_handle* dev, int index, int langid, char* buf, size_t buflen);
int usb_get_string_simple(usb_dev_handle* dev, int index, char* buf, size_t buflen);
int usb_get_descriptor_by_endpoint(usb_dev_handle* udev, int ep, unsigned char type, unsigned char index, void* buf,
                                   int size);
int usb_get_descriptor(usb_dev_handle* udev, unsigned char type, unsigned char index, void* buf, int size);
int usb_bulk_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);
int usb_bulk_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);
int usb_interrupt_write(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);
int usb_interrupt_read(usb_dev_handle* dev, int ep, char* bytes, int size, int timeout);
int usb_control_msg(usb_dev_handle* dev, int requesttype, int request, int value, int index, char* bytes, int size,
                    int timeout);
int usb_set_configuration(usb_dev_handle* dev, int configuration);
int usb_claim_interface(usb_dev_handle* dev, int interface);
int usb_release_interface(usb_dev_handle* dev, int interface);
int usb_set_altinterface(usb_dev_handle* dev, int alternate);
int usb_resetep(usb_dev_handle* dev, unsigned int ep);
int usb_clear_halt(usb_dev_handle* dev, unsigned int ep);
int usb_reset(usb_dev_handle* dev);
char* usb_strerror(void);
void usb_init(void);
void usb_set_debug(int level);
int usb_find_busses(void);
int usb_find_devices(void);
struct usb_device* usb_device(usb_dev_handle* dev);
struct usb_bus* usb_get_busses(void);
int usb_install_service_np(void);
int usb_uninstall_service_np(void);
int usb_install_driver_np(const char* inf_file);
const struct usb_version* usb_get_version(void);
int usb_isochronous_setup_async(usb_dev_handle* dev, void** context, unsigned char ep, int pktsize);
int usb_bulk_setup_async(usb_dev_handle* dev, void** context, unsigned char ep);
int usb_interrupt_setup_async(usb_dev_handle* dev, void** context, unsigned char ep);
int usb_submit_async(void* context, char* bytes, int size);
int usb_reap_async(void* context, int timeout);
int usb_free_async(void** context);

#ifdef __cplusplus
}
#endif

#endif
