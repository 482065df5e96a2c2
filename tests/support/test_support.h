// Shared helpers of the test programs: scratch folders, files, Settings reads, the stand-ins and the real program.
#ifndef LOADER_TEST_SUPPORT_H
#define LOADER_TEST_SUPPORT_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Folder of the running test program, with a trailing backslash: the build leaves the loader, the stand-ins',
// the simulated card's and the real tool's folders there.
std::string ExeDirectory();

// A new empty folder under the test program's scratch area, with a trailing backslash.
std::string MakeScratchDirectory(const std::string& tag);

std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, const std::string& text);

// Settings values as the program would read them, of keys written "Section/Key", joined by "|";
// "<missing>" stands for a missing one.
std::string IniValues(const std::string& path, const std::vector<std::string>& keys);

// The cable driver (the simulated card): section [Driver] of its settings file "simulated-card.ini" in dir.
void ConfigureCables(const std::string& dir, int count, const std::vector<std::string>& descriptions = {"X"});

// Programming tool stand-in: its configuration beside it and the log of its runs.
inline void ConfigureTool(const std::string& dir, const std::string& iniText)
{ WriteFileText(dir + "xc3sprog-standin.ini", "[Tool]\r\n" + iniText); }
struct ToolCall { unsigned long long startMs, endMs; long exitCode; std::string directory, commandLine; };
std::vector<ToolCall> ReadToolCalls(const std::string& dir);
// How many runs have started so far: each writes a line when it starts, before it does anything else.
size_t StartedToolRuns(const std::string& dir);

// Polls condition every 20 ms; false when it did not come true within ms.
bool WaitFor(const std::function<bool()>& condition, DWORD ms = 5000);

// Text of a control or window of any process.
std::string WindowText(HWND window);
inline std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
inline bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
inline bool IsControlVisible(HWND dialog, int id)
{ return (GetWindowLongPtrA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }
// WM_COMMAND as from the control, without toggling it; Click acts as a user's click does.
inline LRESULT Command(HWND dialog, int id)
{ return SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id)); }
inline void Click(HWND dialog, int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
// The same WM_COMMAND posted, as a person's click arrives: the caller goes on while the command runs.
inline void PostCommand(HWND dialog, int id)
{ PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id)); }

// A fresh Program directory with the loader, the simulated card's driver reporting one cable "X", the tool
// stand-in (unless withTool is false), the helper bitstreams (empty) and the bitstream "my designs\top.bit";
// a loader started in it is closed at the end of the scope.
struct Session {
    std::string dir, ini, bitstream, exe = "VLR Loader.exe";
    PROCESS_INFORMATION process = {};
    HWND w = NULL;
    explicit Session(const std::string& tag, bool withTool = true);
    ~Session() { Close(); }
    void AddTool();
    // Starts "<dir><exe>" with the argument text (after a blank when not empty) and waits
    // until its Main window w is visible; false when it did not show within the time.
    bool Start(const std::string& arguments = "", const std::string& currentDirectory = "");
    // Waits for the end; the exit code, or STILL_ACTIVE when the time ran out.
    DWORD WaitForExit(DWORD milliseconds = 10000);
    void Close();  // ends the loader at once
    // The loader's XC3SProg Console once it shows, or NULL when it did not within the time.
    HWND Console(DWORD waitMs = 5000) const;
    // Types path into the bitstream box, presses "Load" and returns the status box.
    std::string Load(const std::string& path)
    { SetDlgItemTextA(w, 4003, path.c_str()); Command(w, 4001); return ControlText(w, 4009); }
};

// Whether the window or one of its controls still waits to be painted (for a window of any process).
bool WaitsForPaint(HWND window);

// A visible top-level window of process pid whose class is className, or NULL.
HWND FindProcessWindow(DWORD pid, const char* className, DWORD waitMs = 0);

// The running tool stand-in started by process parentPid, opened for waiting, ending and asking; NULL when none runs.
HANDLE OpenToolProcess(DWORD parentPid);

}  // namespace testing_support

#endif
