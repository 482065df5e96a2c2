// Helpers shared by the two stand-ins: where their files are, their INI settings and their call logs.
#ifndef STANDIN_COMMON_H
#define STANDIN_COMMON_H

#include <windows.h>
#include <stdlib.h>

#include <string>

extern "C" IMAGE_DOS_HEADER __ImageBase;  // this module's own: the DLL's in the driver, the program's in the tool

// "<folder>\<name>" for a stand-in's own files, looked up on every call: tests copy the stand-ins next to
// the program under test, and a test that runs the program in its own process, sharing the build folder
// with other tests, points the stand-ins at a folder of its own through STANDIN_DIR.
static inline std::string StandinFile(const char* name)
{
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("STANDIN_DIR", path, sizeof path);
    if (length > 0 && length < sizeof path)
        return std::string(path) + (path[length - 1] == '\\' ? "" : "\\") + name;
    std::string module(path, GetModuleFileNameA((HMODULE)&__ImageBase, path, sizeof path));
    return module.substr(0, module.find_last_of("\\/") + 1) + name;
}

static inline std::string IniText(const char* file, const char* section, const char* key, const char* fallback)
{
    char text[4096];
    GetPrivateProfileStringA(section, key, fallback, text, sizeof text, StandinFile(file).c_str());
    return text;
}

// GetPrivateProfileIntA is not meant for negative values, and several keys use -1.
static inline long IniNumber(const char* file, const char* section, const char* key, long fallback)
{
    std::string text = IniText(file, section, key, "");
    return text.empty() ? fallback : atol(text.c_str());
}

// One WriteFile on an append-only handle, under a named mutex, so that runs ending at the same time
// cannot interleave their lines; an open that fails for a moment is tried again.
static inline void AppendLine(const char* file, const std::string& line)
{
    HANDLE mutex = CreateMutexA(NULL, FALSE, "standin-calls-log");
    WaitForSingleObject(mutex, 10000);
    std::string path = StandinFile(file);
    HANDLE f;
    int attempts = 50;
    while ((f = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL)) == INVALID_HANDLE_VALUE && --attempts > 0)
        Sleep(20);
    if (f != INVALID_HANDLE_VALUE) {
        DWORD written;
        WriteFile(f, line.data(), (DWORD)line.size(), &written, NULL);
        CloseHandle(f);
    }
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

#endif
