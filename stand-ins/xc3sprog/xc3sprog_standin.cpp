// Test stand-in for the programming tool: logs each run, prints tool-like output, obeys an INI file beside it.
#include "../standin_common.h"

#include <stdio.h>
#include <string.h>

// The runtime splits argv the Microsoft way, quotes keeping a path with blanks whole; it must not expand wildcards.
int _dowildcard = 0;

static long Setting(const char* key, long fallback) { return IniNumber("xc3sprog-standin.ini", "Tool", key, fallback); }

// Through WriteFile, so that the text lands in whichever console the tool inherited,
// where the loader's console window expects the real tool's output.
static void Print(const std::string& text)
{
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), (DWORD)text.size(), &written, NULL);
}

// Milliseconds since 1601 from the system clock, so times from different runs can be compared.
static ULONGLONG NowMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (((ULONGLONG)now.dwHighDateTime << 32) | now.dwLowDateTime) / 10000;
}

int main(int argc, char** argv)
{
    ULONGLONG startMs = NowMs();
    std::string commandLine = GetCommandLineA();
    std::string failWhen = IniText("xc3sprog-standin.ini", "Tool", "FailWhen", "");
    int exitCode = Setting("ExitCode", 0);
    if (!failWhen.empty() && commandLine.find(failWhen) != std::string::npos)
        exitCode = Setting("FailCode", 1);
    Print("XC3SPROG stand-in (c) test build\r\nCommand line: " + commandLine + "\r\n");

    // A file argument is NAME:ACTION[:...], where a drive letter's colon is part of NAME;
    // a read, "-I NAME:R:...", writes the configured content into NAME.
    for (int i = 1; i < argc; i++) {
        const char* arg = argv[i];
        bool drive = arg[0] != '\0' && arg[1] == ':' && (arg[2] == '\\' || arg[2] == '/');
        const char* colon = strchr(drive ? arg + 2 : arg, ':');
        if (arg[0] == '-' || colon == NULL)
            continue;
        std::string name(arg, colon);
        if (strcmp(argv[i - 1], "-I") == 0 && colon[1] == 'R' && (colon[2] == ':' || colon[2] == '\0')) {
            Print("Reading flash into " + name + "\r\n");
            if (FILE* f = fopen(name.c_str(), "wb")) {
                fputs(IniText("xc3sprog-standin.ini", "Tool", "ReadContent", "FLASHDATA").c_str(), f);
                fclose(f);
            }
        } else {
            Print("Programming " + name + "\r\n");
        }
    }

    long waitMs = Setting("WaitMs", 0);
    if (waitMs > 0)
        Sleep(waitMs);
    Print("Done, exit code " + std::to_string(exitCode) + "\r\n");
    char directory[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof directory, directory);
    // The tests read this line: START_MS \t END_MS \t EXIT \t CWD \t CMDLINE.
    AppendLine("xc3sprog-calls.log", std::to_string(startMs) + "\t" + std::to_string(NowMs()) + "\t" +
                                         std::to_string(exitCode) + "\t" + directory + "\t" + commandLine + "\r\n");
    return exitCode;
}
