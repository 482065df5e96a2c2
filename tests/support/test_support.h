// Shared helpers of the test programs: scratch folders, files, Settings reads, the stand-ins and the real program.
#ifndef LOADER_TEST_SUPPORT_H
#define LOADER_TEST_SUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

namespace testing_support {

// Folder of the running test program, with a trailing backslash; the build puts the program,
// the loader and the stand-ins' folder "stand-ins" there.
std::string ExeDirectory();

// A new empty folder under the test program's scratch area, with a trailing backslash.
std::string MakeScratchDirectory(const std::string& tag);

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// A Settings value as the program would read it; fallback when missing.
std::string IniRead(const std::string& path, const char* section, const char* key,
                    const char* fallback = "<missing>");
void IniWrite(const std::string& path, const char* section, const char* key, const char* value);

// Cable driver stand-in: configuration file "ftd2xx-standin.ini" in dir.
void ConfigureCables(const std::string& dir, int count,
                     const std::vector<std::string>& descriptions = {});

// Programming tool stand-in: its configuration beside it and the log of its runs.
struct ToolCall {
    unsigned long long startMs;
    unsigned long long endMs;
    long exitCode;
    std::string directory;
    std::string commandLine;
};
std::vector<ToolCall> ReadToolCalls(const std::string& dir);
void ConfigureTool(const std::string& dir, const std::string& iniText);

// A Program directory with the loader, the driver stand-in and (optionally) the tool stand-in.
std::string LayOutProgramDirectory(const std::string& tag, bool withTool = true, int cables = 1);

// The real program, started from another process.
struct LoaderProcess {
    PROCESS_INFORMATION info;
    HWND window;
};
// Starts "<dir>VLR Loader.exe" with the given argument text (appended after a blank when not empty)
// and waits until its Main window exists. window is NULL when it did not show within the time.
LoaderProcess StartLoader(const std::string& dir, const std::string& arguments = "",
                          const std::string& currentDirectory = "");
// Waits for the end; returns the exit code, or STILL_ACTIVE after the time ran out (then it is killed).
DWORD WaitForExit(LoaderProcess& process, DWORD milliseconds = 10000);
void CloseLoader(LoaderProcess& process);

// Text of a control or window of any process.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
bool IsControlVisible(HWND dialog, int id);
LRESULT Command(HWND dialog, int id);

// The top-level window of process pid whose class is className, or NULL.
HWND FindProcessWindow(DWORD pid, const char* className, DWORD waitMs = 0);

}  // namespace testing_support

#endif
