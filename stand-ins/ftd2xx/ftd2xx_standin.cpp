// Test stand-in for the cable driver DLL: ordinals 70 (count) and 72 (detail), driven by an INI file beside it.
#include <windows.h>
#include <stdlib.h>
#include <string.h>

extern "C" ULONG WINAPI CableDeviceCount(DWORD* count);
extern "C" ULONG WINAPI CableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* locId,
                                          char* serial16, char* description64, DWORD* handle);

static const char kSection[] = "Driver";
static const ULONG kStatusNotFound = 2;
static const ULONG kStatusDetailFailed = 4;

// Bounded copy/append so every buffer below stays within its capacity whatever the path length.
static void CopyText(char* dst, size_t cap, const char* src)
{
    size_t n = strlen(src);
    if (n >= cap)
        n = cap - 1;
    memcpy(dst, src, n);
    dst[n] = '\0';
}

static void AppendText(char* dst, size_t cap, const char* src)
{
    size_t used = strlen(dst);
    if (used + 1 >= cap)
        return;
    CopyText(dst + used, cap - used, src);
}

static void FormatUnsigned(char* dst, size_t cap, unsigned long long value)
{
    char rev[24];
    int n = 0;
    do {
        rev[n++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0 && n < (int)sizeof(rev));
    size_t i = 0;
    while (n > 0 && i + 1 < cap)
        dst[i++] = rev[--n];
    dst[i] = '\0';
}

// Builds "<directory of this DLL>\<name>"; the directory is looked up on every call because tests
// copy the DLL next to the program under test and expect the files to follow it.
static BOOL PathBesideModule(const char* name, char* out, size_t cap)
{
    // A test that runs the program in its own process shares the build folder with other tests;
    // STANDIN_DIR points the stand-ins at a folder of that test's own.
    char folder[MAX_PATH + 1];
    DWORD folderLength = GetEnvironmentVariableA("STANDIN_DIR", folder, sizeof(folder));
    if (folderLength > 0 && folderLength < sizeof(folder)) {
        if (folderLength + strlen(name) + 2 > cap)
            return FALSE;
        CopyText(out, cap, folder);
        if (folder[folderLength - 1] != '\\')
            AppendText(out, cap, "\\");
        AppendText(out, cap, name);
        return TRUE;
    }
    HMODULE self = NULL;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            (LPCSTR)(void*)&CableDeviceCount, &self))
        return FALSE;
    char path[MAX_PATH + 1];
    DWORD len = GetModuleFileNameA(self, path, MAX_PATH);
    if (len == 0 || len >= MAX_PATH)
        return FALSE;
    path[len] = '\0';
    char* slash = strrchr(path, '\\');
    char* other = strrchr(path, '/');
    if (other != NULL && (slash == NULL || other > slash))
        slash = other;
    if (slash == NULL)
        return FALSE;
    slash[1] = '\0';
    if (strlen(path) + strlen(name) + 1 > cap)
        return FALSE;
    CopyText(out, cap, path);
    AppendText(out, cap, name);
    return TRUE;
}

// GetPrivateProfileIntA cannot return negative values, and several keys use -1, so parse the text here.
// Accepts decimal (optionally signed) and 0x-prefixed hexadecimal.
static BOOL ReadIniNumber(const char* ini, const char* key, long long* value)
{
    char text[64];
    if (ini == NULL)
        return FALSE;
    GetPrivateProfileStringA(kSection, key, "", text, sizeof(text), ini);
    const char* p = text;
    while (*p == ' ' || *p == '\t')
        p++;
    if (*p == '\0')
        return FALSE;
    char* end = NULL;
    long long v;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X'))
        v = (long long)strtoull(p + 2, &end, 16);
    else
        v = strtoll(p, &end, 10);
    if (end == p)
        return FALSE;
    *value = v;
    return TRUE;
}

static long long ReadIniNumberOr(const char* ini, const char* key, long long fallback)
{
    long long v;
    return ReadIniNumber(ini, key, &v) ? v : fallback;
}

// One line per call lets tests check the order in which the program calls the driver.
static void LogCall(const char* line)
{
    char logPath[MAX_PATH + 64];
    if (!PathBesideModule("ftd2xx-calls.log", logPath, sizeof(logPath)))
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
    return PathBesideModule("ftd2xx-standin.ini", buf, cap) ? buf : NULL;
}

extern "C" ULONG WINAPI CableDeviceCount(DWORD* count)
{
    LogCall("70");
    char iniBuf[MAX_PATH + 64];
    const char* ini = IniPath(iniBuf, sizeof(iniBuf));

    ULONG status = (ULONG)ReadIniNumberOr(ini, "CountStatus", 0);
    if (status != 0) {
        long long onFailure;
        if (count != NULL && ReadIniNumber(ini, "CountOnFailure", &onFailure))
            *count = (DWORD)onFailure;
        return status;
    }
    if (count != NULL)
        *count = (DWORD)ReadIniNumberOr(ini, "Count", 0);
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
    DWORD count = (DWORD)ReadIniNumberOr(ini, "Count", 0);
    if (index >= count)
        return kStatusNotFound;
    if ((long long)index == ReadIniNumberOr(ini, "FailDetailIndex", -1))
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

    if ((long long)index == ReadIniNumberOr(ini, "UnterminatedIndex", -1)) {
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
