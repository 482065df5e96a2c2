// The two entry points of the cable driver library, which is imported by ordinal only.
#ifndef LOADER_CABLE_DRIVER_H
#define LOADER_CABLE_DRIVER_H

#include <windows.h>

extern "C" {
// Ordinal 70: the number of attached devices. Status 0 is success.
ULONG WINAPI CableDeviceCount(DWORD* count);
// Ordinal 72: the details of the device at index (from 0); only the 64-byte description is used.
ULONG WINAPI CableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* location,
                               char* serial16, char* description64, ULONG_PTR* handle);
}

// What crosses to the driver, as its interface fixes it on both builds: 32-bit status, count and
// numbers, a pointer-sized handle, and on the 32-bit build the argument bytes that the stdcall names of
// ftd2xx32.def carry (CableDeviceCount@4, CableDeviceDetail@32).
enum { CABLE_SERIAL_CAPACITY = 16, CABLE_DESCRIPTION_CAPACITY = 64 };
static_assert(sizeof(ULONG) == 4 && sizeof(DWORD) == 4, "the driver's status and numbers are 32 bits");
static_assert(sizeof(ULONG_PTR) == sizeof(void*), "the driver writes a pointer-sized handle");
#ifndef _WIN64
static_assert(sizeof(DWORD*) == 4, "CableDeviceCount@4");
static_assert(sizeof(DWORD) + 4 * sizeof(DWORD*) + 2 * sizeof(char*) + sizeof(ULONG_PTR*) == 32, "CableDeviceDetail@32");
#endif

#endif
