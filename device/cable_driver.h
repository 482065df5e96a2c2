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

#endif
