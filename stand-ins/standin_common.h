// Helpers shared by the two stand-ins: bounded text, numbers, their files' folder and their INI numbers.
#ifndef STANDIN_COMMON_H
#define STANDIN_COMMON_H

#include <windows.h>
#include <stdlib.h>
#include <string.h>

// Bounded copy/append so every buffer stays within its capacity whatever the path length.
static inline void CopyText(char* dst, size_t cap, const char* src)
{
    size_t n = strlen(src);
    if (n >= cap)
        n = cap - 1;
    memcpy(dst, src, n);
    dst[n] = '\0';
}

static inline void AppendText(char* dst, size_t cap, const char* src)
{
    size_t used = strlen(dst);
    if (used + 1 >= cap)
        return;
    CopyText(dst + used, cap - used, src);
}

static inline void FormatUnsigned(char* dst, size_t cap, unsigned long long value)
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

static inline void FormatSigned(char* dst, size_t cap, long long value)
{
    if (value < 0 && cap > 1) {
        dst[0] = '-';
        FormatUnsigned(dst + 1, cap - 1, 0ULL - (unsigned long long)value);
    } else {
        FormatUnsigned(dst, cap, (unsigned long long)value);
    }
}

// Builds "<folder>\<name>" for the stand-in's own files: the folder of module (NULL: the program),
// looked up on every call because tests copy the stand-ins next to the program under test.
// A test that runs the program in its own process shares the build folder with other tests;
// STANDIN_DIR points the stand-ins at a folder of that test's own.
static inline BOOL PathBesideModule(HMODULE module, const char* name, char* out, size_t cap)
{
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
    char path[MAX_PATH + 1];
    DWORD len = GetModuleFileNameA(module, path, MAX_PATH);
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
static inline BOOL ReadIniNumber(const char* ini, const char* section, const char* key, long long* value)
{
    char text[64];
    if (ini == NULL)
        return FALSE;
    GetPrivateProfileStringA(section, key, "", text, sizeof(text), ini);
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

static inline long long ReadIniNumberOr(const char* ini, const char* section, const char* key, long long fallback)
{
    long long v;
    return ReadIniNumber(ini, section, key, &v) ? v : fallback;
}

#endif
