// The CPU time that another process has used, for the tests and the bench: under Wine, from its Unix process.
#ifndef LOADER_PROCESS_CPU_H
#define LOADER_PROCESS_CPU_H

#include <windows.h>

#include <cstdio>
#include <sstream>
#include <string>

// Milliseconds of kernel and user time of the process whose command line holds marker (a folder that only it
// runs from), or ~0 when it is not found. Wine answers GetProcessTimes for another process with the caller's
// own times; under Wine the process's Unix twin in /proc tells, whose command line is the Windows one.
inline unsigned long long ProcessCpuMs(HANDLE process, const std::string& marker)
{
    if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") == NULL) {
        FILETIME created, ended, kernel, user;
        if (!GetProcessTimes(process, &created, &ended, &kernel, &user))
            return ~0ULL;
        auto ticks = [](FILETIME t) { return ((unsigned long long)t.dwHighDateTime << 32) | t.dwLowDateTime; };
        return (ticks(kernel) + ticks(user)) / 10000;
    }
    // A process of the machine may end while its files are read: C's stdio then stops reading, where the C++
    // streams of this runtime throw.
    auto read = [](const std::string& path) {
        std::string text;
        if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
            char chunk[4096];
            for (size_t count; (count = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
                text.append(chunk, count);
            std::fclose(file);
        }
        return text;
    };
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &found);
    unsigned long long ms = ~0ULL;
    for (BOOL more = search != INVALID_HANDLE_VALUE; more && ms == ~0ULL; more = FindNextFileA(search, &found)) {
        std::string dir = std::string("Z:\\proc\\") + found.cFileName + "\\";
        if (found.cFileName[0] < '0' || found.cFileName[0] > '9' || read(dir + "cmdline").find(marker) == std::string::npos)
            continue;
        // utime and stime, the 14th and 15th fields, counted after the parenthesised name, in hundredths of a second.
        std::string stat = read(dir + "stat");
        std::istringstream fields(stat.substr(stat.rfind(')') + 2));
        std::string skipped;
        unsigned long long user = 0, system = 0;
        for (int field = 3; field < 14; ++field)
            fields >> skipped;
        if (fields >> user >> system)
            ms = (user + system) * 10;
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return ms;
}

#endif
