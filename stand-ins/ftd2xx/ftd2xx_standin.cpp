// Test stand-in for the cable driver DLL: ordinals 70 (count) and 72 (detail), driven by an INI file beside it.
#include "../standin_common.h"

static long Setting(const char* key, long fallback) { return IniNumber("ftd2xx-standin.ini", "Driver", key, fallback); }

// One line per call lets tests check the order in which the program calls the driver.
static void LogCall(const std::string& call) { AppendLine("ftd2xx-calls.log", call + "\r\n"); }

extern "C" ULONG WINAPI CableDeviceCount(DWORD* count)
{
    LogCall("70");
    ULONG status = Setting("CountStatus", 0);
    if (status == 0)
        *count = Setting("Count", 0);
    return status;
}

// Past the cables, status 2 (not found); FailDetailIndex's cable fails with 4, and UnterminatedIndex's
// description fills all 64 bytes without a terminator, against the driver's contract, to see how the program copes.
extern "C" ULONG WINAPI CableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                          char* serial16, char* description64, DWORD* handle)
{
    std::string number = std::to_string(index);
    LogCall("72 " + number);
    // Compared as the DWORD that ordinal 70 hands out, so both calls agree on the number of cables.
    if (index >= (DWORD)Setting("Count", 0))
        return 2;
    if ((long)index == Setting("FailDetailIndex", -1))
        return 4;
    *flags = 0, *type = 6, *id = 0x04036010, *locId = 0x100 + index, *handle = 0;
    lstrcpynA(serial16, ("SI" + number + "A").c_str(), 16);
    if ((long)index == Setting("UnterminatedIndex", -1))
        for (int i = 0; i < 64; i++)
            description64[i] = (char)('A' + i % 26);
    else
        lstrcpynA(description64, IniText("ftd2xx-standin.ini", "Driver", ("Description" + number).c_str(),
                                         ("Stand-in JTAG Cable " + number).c_str()).c_str(), 64);
    return 0;
}
