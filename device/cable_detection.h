// Cable detection: counts the attached cables through the driver and lists their descriptions.
#ifndef LOADER_CABLE_DETECTION_H
#define LOADER_CABLE_DETECTION_H

#include <windows.h>

// Restarts the Status log with the count report; returns the device count after the driver call.
DWORD CountDevices(HWND window);

// One log line per device; returns the status of the last detail call, 0 when none was made.
ULONG ListDevices(HWND window);

#endif
