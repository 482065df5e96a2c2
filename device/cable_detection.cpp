// Cable detection: counts the attached cables through the driver and lists their descriptions.
#include "cable_detection.h"

#include "cable_driver.h"
#include "../app/loader_state.h"
#include "../ops/status_log.h"

static_assert((int)DEVICE_DESCRIPTION_CAPACITY == (int)CABLE_DESCRIPTION_CAPACITY, "the driver fills 64 bytes of description");

DWORD CountDevices(HWND window)
{
    char countText[20];
    // Grow first so that the clearing never runs past the buffer.
    GrowStatusLog(LOG_STEP_REPORT);
    ClearStatusLog();
    AppendStatusLog("Devices found: ");
    ULONG status = CableDeviceCount(&g_state.deviceCount);
    IntToDecimal((long)g_state.deviceCount, countText, sizeof countText);
    if (status != 0) {
        AppendStatusLog("IO Error!\r\n");
    } else {
        AppendStatusLog(countText);
        if (g_state.deviceCount == 0) {
            AppendStatusLog("\r\n\r\nMake sure your Vellora card is powered on ");
            AppendStatusLog("\r\nand the USB cable is connected to it and to the PC.");
            AppendStatusLog("\r\nThen press the Refresh button.");
        }
    }
    ShowStatusLog(window);
    return g_state.deviceCount;
}

ULONG ListDevices(HWND window)
{
    ULONG status = 0;
    for (DWORD i = 0; i < g_state.deviceCount; ++i) {
        DWORD flags = 0, type = 0, id = 0, location = 0;
        ULONG_PTR handle = 0;  // the driver writes a handle here, pointer-sized on 64-bit
        char serial[CABLE_SERIAL_CAPACITY];
        GrowStatusLog(LOG_STEP_LINE);
        AppendStatusLog("\r\n");
        status = CableDeviceDetail(i, &flags, &type, &id, &location, serial,
                                   g_state.deviceDescription, &handle);
        // A driver may fill all 64 bytes; the description must still end inside them.
        g_state.deviceDescription[DEVICE_DESCRIPTION_CAPACITY - 1] = '\0';
        if (status == 0) {
            AppendStatusLog("Device name: ");
            AppendStatusLog(g_state.deviceDescription);
        } else {
            AppendStatusLog("IO Error!");
        }
        ShowStatusLog(window);
    }
    return status;
}
