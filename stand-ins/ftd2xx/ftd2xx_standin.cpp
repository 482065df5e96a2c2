// Test stand-in for the cable driver DLL: ordinals 70 (count) and 72 (detail), driven by an INI file beside it.
#include "../standin_common.h"

extern "C" ULONG WINAPI CableDeviceCount(DWORD* count);
extern "C" ULONG WINAPI CableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                          char* serial16, char* description64, DWORD* handle);

static const char kSection[] = "Driver";
static const ULONG kStatusNotFound = 2;
static const ULONG kStatusDetailFailed = 4;

static BOOL DriverFile(const char* name, char* out, size_t cap)
{
    HMODULE self = NULL;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            (LPCSTR)(void*)&CableDeviceCount, &self))
        return FALSE;
    return PathBesideModule(self, name, out, cap);
}

// One line per call lets tests check the order in which the program calls the driver.
static void LogCall(const char* line)
{
    char logPath[MAX_PATH + 64];
    if (!DriverFile("ftd2xx-calls.log", logPath, sizeof(logPath)))
        return;
    HANDLE f = CreateFileA(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (f == INVALID_HANDLE_VALUE)
        return;
    char text[64];
    CopyText(text, sizeof(text), line);
    AppendText(text, sizeof(text), "\r\n");
    DWORD written = 0;
    WriteFile(f, text, (DWORD)strlen(text), &written, NULL);
    CloseHandle(f);
}

static const char* IniPath(char* buf, size_t cap)
{
    return DriverFile("ftd2xx-standin.ini", buf, cap) ? buf : NULL;
}

extern "C" ULONG WINAPI CableDeviceCount(DWORD* count)
{
    LogCall("70");
    char iniBuf[MAX_PATH + 64];
    const char* ini = IniPath(iniBuf, sizeof(iniBuf));

    ULONG status = (ULONG)ReadIniNumberOr(ini, kSection, "CountStatus", 0);
    if (status != 0) {
        long long onFailure;
        if (count != NULL && ReadIniNumber(ini, kSection, "CountOnFailure", &onFailure))
            *count = (DWORD)onFailure;
        return status;
    }
    if (count != NULL)
        *count = (DWORD)ReadIniNumberOr(ini, kSection, "Count", 0);
    return 0;
}

extern "C" ULONG WINAPI CableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                          char* serial16, char* description64, DWORD* handle)
{
    char line[32] = "72 ";
    char num[24];
    FormatUnsigned(num, sizeof(num), index);
    AppendText(line, sizeof(line), num);
    LogCall(line);

    char iniBuf[MAX_PATH + 64];
    const char* ini = IniPath(iniBuf, sizeof(iniBuf));

    // Compared as the DWORD that ordinal 70 hands out, so both calls agree on the number of cables.
    DWORD count = (DWORD)ReadIniNumberOr(ini, kSection, "Count", 0);
    if (index >= count)
        return kStatusNotFound;
    if ((long long)index == ReadIniNumberOr(ini, kSection, "FailDetailIndex", -1))
        return kStatusDetailFailed;

    if (flags != NULL)
        *flags = 0;
    if (type != NULL)
        *type = 6;
    if (id != NULL)
        *id = 0x04036010;
    if (locId != NULL)
        *locId = 0x100 + index;
    if (handle != NULL)
        *handle = 0;
    if (serial16 != NULL) {
        char serial[16] = "SI";
        AppendText(serial, sizeof(serial), num);
        AppendText(serial, sizeof(serial), "A");
        memcpy(serial16, serial, sizeof(serial));
    }
    if (description64 == NULL)
        return 0;

    if ((long long)index == ReadIniNumberOr(ini, kSection, "UnterminatedIndex", -1)) {
        // Deliberately violates the driver contract so tests can see how the program copes.
        for (int i = 0; i < 64; i++)
            description64[i] = (char)('A' + i % 26);
        return 0;
    }

    char key[40] = "Description";
    AppendText(key, sizeof(key), num);
    char fallback[64] = "Stand-in JTAG Cable ";
    AppendText(fallback, sizeof(fallback), num);
    char text[64];
    if (ini != NULL)
        GetPrivateProfileStringA(kSection, key, fallback, text, sizeof(text), ini);
    else
        CopyText(text, sizeof(text), fallback);
    CopyText(description64, 64, text);
    return 0;
}
