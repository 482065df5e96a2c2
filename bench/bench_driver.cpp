// Bench driver: times the loader against bare platform programs and calls, interleaved, and prints the figures.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/loader_state.h"
#include "app/recent_files.h"
#include "app/startup.h"
#include "device/cable_driver.h"
#include "res/resource.h"
#include "tests/support/import_slots.h"
#include "ui/main_dialog.h"

namespace {

const int kStartRuns = 25;
const int kPushes = 200;
const int kRefreshRuns = 15;
const int kFewCables = 100;
const int kManyCables = 400;
const int kLongLoads = 1000;
// The Loads around the 10th and the 1,000th that are compared; they take turns Load by Load, with two
// bare tool runs each.
const int kEarlyFirst = 3;
const int kEarlyLast = 17;
const int kLateFirst = 986;
const int kLateLast = 1000;
const double kOwnWorkTargetMs = 40.0;
const UINT kRunTool = WM_APP + 1;   // what bare_tool_runner answers with one tool run
const char kMainClass[] = "VLR_LoadClass";   // the loader's window class, registered by the bare dialog too

double NowMs()
{
    static LARGE_INTEGER frequency = {};
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2.0;
}

[[noreturn]] void Fail(const std::string& what)
{
    std::printf("bench failed: %s\n", what.c_str());
    std::fflush(stdout);
    ExitProcess(2);
}

void Report(const char* name, double value, const char* unit, const char* targetText, bool holds)
{
    // Ratios get a third decimal, so that a figure just above its target does not print as the target.
    char figure[32];
    std::snprintf(figure, sizeof figure, *unit == '\0' ? "%.3f" : "%.2f%s", value, unit);
    std::printf("%-30s %10s   (target %s)   %s\n", name, figure, targetText, holds ? "holds" : "misses");
    std::fflush(stdout);
}

void Note(const std::string& text)
{
    std::printf("    %s\n", text.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0, double d = 0.0, double e = 0.0,
                   double f = 0.0)
{
    char text[512];
    std::snprintf(text, sizeof text, format, a, b, c, d, e, f);
    return text;
}

std::string ExeDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string text(path, length);
    return text.substr(0, text.find_last_of('\\') + 1);
}

std::string ParentDirectory(const std::string& dir)
{
    std::string trimmed = dir.substr(0, dir.size() - 1);
    return trimmed.substr(0, trimmed.find_last_of('\\') + 1);
}

void DeleteTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(dir + name + "\\");
            else
                DeleteFileA((dir + name).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

void WriteText(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == NULL)
        Fail("cannot write " + path);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

std::string ReadText(const std::string& path)
{
    std::string text;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == NULL)
        return text;
    char chunk[4096];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, count);
    std::fclose(file);
    return text;
}

size_t CountToolRuns(const std::string& dir)
{
    std::string log = ReadText(dir + "xc3sprog-calls.log");
    return (size_t)std::count(log.begin(), log.end(), '\n');
}

void CopyInto(const std::string& from, const std::string& dir, const char* name)
{
    if (!CopyFileA(from.c_str(), (dir + name).c_str(), FALSE))
        Fail("cannot copy " + from);
}

struct WindowSearch {
    DWORD pid;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
{
    WindowSearch* search = (WindowSearch*)data;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char name[64];
    if (pid == search->pid && GetClassNameA(window, name, sizeof name) && lstrcmpA(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(DWORD pid, const char* className)
{
    WindowSearch search = { pid, className, NULL };
    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

struct Child {
    PROCESS_INFORMATION info;
    HWND window;
};

void StartChild(const std::string& commandLine, const std::string& dir, Child* child)
{
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *child = Child();
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, dir.c_str(), &startup, &child->info))
        Fail("cannot start " + commandLine);
}

void CloseChild(Child* child)
{
    if (child->window != NULL)
        PostMessageA(child->window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(child->info.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(child->info.hProcess, 99);
        WaitForSingleObject(child->info.hProcess, 5000);
    }
    CloseHandle(child->info.hProcess);
    CloseHandle(child->info.hThread);
    *child = Child();
}

// From just before CreateProcessA until the status box of the program's window reports the cable
// detection; the child is left running.
double TimeStartUp(const std::string& exe, const std::string& dir, const char* className, Child* child)
{
    double started = NowMs();
    StartChild("\"" + exe + "\"", dir, child);
    for (;;) {
        HWND window = FindProcessWindow(child->info.dwProcessId, className);
        HWND box = window != NULL ? GetDlgItem(window, IDC_STATUS) : NULL;
        if (box != NULL) {
            char text[32] = "";
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(box, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 10000, &result) &&
                std::strncmp(text, "Devices found:", 14) == 0) {
                double elapsed = NowMs() - started;
                child->window = window;
                return elapsed;
            }
        }
        if (NowMs() - started > 30000 || WaitForSingleObject(child->info.hProcess, 0) == WAIT_OBJECT_0)
            Fail("no cable detection reported by " + exe);
        Sleep(1);
    }
}

struct Layout {
    std::string dir;          // the scratch Program directory
    std::string loader;
    std::string bareDialog;
    std::string bareDialogImports;   // the same with the loader's other imports
    std::string bareRunner;
    std::string bitstream;
};

Layout LayOut(const std::string& benchDir)
{
    std::string build = ParentDirectory(benchDir);
    Layout layout;
    layout.dir = benchDir + "scratch\\";
    DeleteTree(layout.dir);
    if (!CreateDirectoryA(layout.dir.c_str(), NULL))
        Fail("cannot create " + layout.dir);
    CopyInto(build + "VLR Loader.exe", layout.dir, "VLR Loader.exe");
    CopyInto(build + "stand-ins\\ftd2xx.dll", layout.dir, "ftd2xx.dll");
    CopyInto(build + "stand-ins\\xc3sprog.exe", layout.dir, "xc3sprog.exe");
    CopyInto(benchDir + "bare_dialog.exe", layout.dir, "bare_dialog.exe");
    CopyInto(benchDir + "bare_dialog_imports.exe", layout.dir, "bare_dialog_imports.exe");
    CopyInto(benchDir + "bare_tool_runner.exe", layout.dir, "bare_tool_runner.exe");
    WriteText(layout.dir + "ftd2xx-standin.ini", "[Driver]\r\nCount=1\r\nDescription0=Vellora USB JTAG Cable\r\n");
    // The top left corner of the screen; the other Main windows of the bench open beside it.
    WriteText(layout.dir + "VLR Loader.ini", "[DlgPosition]\r\nX=0\r\nY=0\r\n");
    layout.loader = layout.dir + "VLR Loader.exe";
    layout.bareDialog = layout.dir + "bare_dialog.exe";
    layout.bareDialogImports = layout.dir + "bare_dialog_imports.exe";
    layout.bareRunner = layout.dir + "bare_tool_runner.exe";
    layout.bitstream = layout.dir + "sample.bit";
    WriteText(layout.bitstream, std::string(4096, '\x5a'));
    return layout;
}

// The command's time is until the program answers; it then paints what the command changed, which
// is waited for here, so that the painting does not fall into whatever is timed next.
double TimeCommand(const Child& child, int id, HWND control)
{
    double started = NowMs();
    SendMessageA(child.window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control);
    double elapsed = NowMs() - started;
    WaitForInputIdle(child.info.hProcess, 5000);
    return elapsed;
}

// Another process's edit control answers only WM_GETTEXT; GetWindowTextA would not ask it.
std::string StatusText(HWND window)
{
    HWND box = GetDlgItem(window, IDC_STATUS);
    LRESULT length = SendMessageA(box, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> text((size_t)length + 2, '\0');
    SendMessageA(box, WM_GETTEXT, (WPARAM)text.size(), (LPARAM)text.data());
    return text.data();
}

const char* const kRecentKeys[] = { "", "DDList#1", "DDList#2", "DDList#3", "DDList#4", "DDList#5",
                                    "DDList#6", "DDList#7", "DDList#8", "DDList#9", "DDList#10" };

// The platform calls of one push with the default capacity, and nothing else.
void BarePush(const char* ini, const char* path)
{
    char entry[PATH_CAPACITY];
    char capacity[PATH_CAPACITY];
    GetPrivateProfileStringA("Files", kRecentKeys[1], "", entry, sizeof entry, ini);
    GetPrivateProfileStringA("Files", "DDListMax", "", capacity, sizeof capacity, ini);
    if (lstrcmpA(entry, path) == 0)
        return;
    for (int i = 9; i >= 1; --i) {
        GetPrivateProfileStringA("Files", kRecentKeys[i], "", entry, sizeof entry, ini);
        WritePrivateProfileStringA("Files", kRecentKeys[i + 1], entry, ini);
    }
    WritePrivateProfileStringA("Files", kRecentKeys[1], path, ini);
}

void MeasureRecentPush(const Layout& layout)
{
    std::string listText = "[Files]\r\n";
    for (int i = 1; i <= 10; ++i)
        listText += std::string(kRecentKeys[i]) + "=C:\\Bitstreams\\older_design_" + std::to_string(i) + ".bit\r\n";
    std::string loaderIni = layout.dir + "recent-loader.ini";
    std::string bareIni = layout.dir + "recent-bare.ini";
    WriteText(loaderIni, listText);
    WriteText(bareIni, listText);
    lstrcpyA(g_state.settingsPath, loaderIni.c_str());

    // Two paths in turn, so that every push moves the whole list.
    const char* const paths[2] = { "C:\\Bitstreams\\design_a.bit", "C:\\Bitstreams\\design_b.bit" };
    int loaderPushes = 0;
    int barePushes = 0;
    std::vector<double> loaderMs;
    std::vector<double> bareMs;
    // One push of each side per round, the side going first taking turns: a push lasts milliseconds,
    // so that both sides meet the same spells of a busy machine.
    for (int round = -1; round < kPushes; ++round) {   // round -1 warms up
        for (int turn = 0; turn < 2; ++turn) {
            bool loaderSide = (turn + round + 1) % 2 == 0;
            double started;
            if (loaderSide) {
                lstrcpyA(g_state.bitstreamPath, paths[loaderPushes++ % 2]);
                started = NowMs();
                PushRecentFile();
            } else {
                const char* path = paths[barePushes++ % 2];
                started = NowMs();
                BarePush(bareIni.c_str(), path);
            }
            double ms = NowMs() - started;
            if (round >= 0)
                (loaderSide ? loaderMs : bareMs).push_back(ms);
        }
    }
    // The same pushes must leave the same list, or the bare side did not do the program's work.
    if (ReadText(loaderIni) != ReadText(bareIni))
        Fail("the loader's and the bare Recent-file lists differ");
    g_state.settingsPath[0] = '\0';

    double loader = Median(loaderMs);
    double bare = Median(bareMs);
    Report("recent-push ratio", loader / bare, "", "<= 1.1", loader / bare <= 1.1);
    Note(Format("PushRecentFile %.3f ms, bare profile calls %.3f ms (medians of %.0f pushes each)", loader, bare,
                kPushes));
}

// Loads and Refreshes are also run in this process, where the loader's calls to the platform and to
// the cable driver pass through this program's import table and can be timed: each slot is pointed
// at a wrapper that adds its call's time to one part of the command.
enum Part { PART_TOOL, PART_DRIVER, PART_PROFILE, PART_SHOW, PART_SCROLL, PART_COUNT, PART_NONE = PART_COUNT };

struct PartClock {
    double ms[PART_COUNT];
    int calls[PART_COUNT];
};

PartClock g_clock;
bool g_clockRunning;   // only while an in-process command runs
int g_clockDepth;      // a call made inside a timed call is not counted twice
HWND g_clockedWindow;
HWND g_clockedBox;

struct PartTimer {
    Part part;
    double started;
    explicit PartTimer(Part chosen) : part(g_clockRunning && g_clockDepth == 0 ? chosen : PART_NONE), started(0.0)
    {
        if (part != PART_NONE) {
            ++g_clockDepth;
            started = NowMs();
        }
    }
    ~PartTimer()
    {
        if (part != PART_NONE) {
            g_clock.ms[part] += NowMs() - started;
            ++g_clock.calls[part];
            --g_clockDepth;
        }
    }
};

// Calls on the status box: the scroll to the end, or part of a show.
Part BoxPart(HWND window, UINT message = 0)
{
    if (window == NULL || window != g_clockedBox)
        return PART_NONE;
    return message == WM_VSCROLL ? PART_SCROLL : PART_SHOW;
}

Part BoxItemPart(HWND window, int id, UINT message = 0)
{
    return window == g_clockedWindow && id == IDC_STATUS ? BoxPart(g_clockedBox, message) : PART_NONE;
}

decltype(&CableDeviceCount) g_cableDeviceCount;
decltype(&CableDeviceDetail) g_cableDeviceDetail;
decltype(&CreateProcessA) g_createProcess;
decltype(&WaitForSingleObject) g_waitForSingleObject;
decltype(&GetExitCodeProcess) g_getExitCodeProcess;
decltype(&CloseHandle) g_closeHandle;
decltype(&GetPrivateProfileStringA) g_getProfileString;
decltype(&GetPrivateProfileIntA) g_getProfileInt;
decltype(&WritePrivateProfileStringA) g_writeProfileString;
decltype(&GetDlgItem) g_getDlgItem;
decltype(&SetWindowTextA) g_setWindowText;
decltype(&SetDlgItemTextA) g_setDlgItemText;
decltype(&SendMessageA) g_sendMessage;
decltype(&SendDlgItemMessageA) g_sendDlgItemMessage;
decltype(&GetWindowLongPtrA) g_getWindowLongPtr;
decltype(&SetWindowLongPtrA) g_setWindowLongPtr;
decltype(&RedrawWindow) g_redrawWindow;

ULONG WINAPI TimedCableDeviceCount(DWORD* count)
{
    PartTimer timer(PART_DRIVER);
    return g_cableDeviceCount(count);
}

ULONG WINAPI TimedCableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* location,
                                    char* serial16, char* description64, ULONG_PTR* handle)
{
    PartTimer timer(PART_DRIVER);
    return g_cableDeviceDetail(index, flags, type, id, location, serial16, description64, handle);
}

BOOL WINAPI TimedCreateProcess(LPCSTR application, LPSTR line, LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags, LPVOID environment,
                               LPCSTR directory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process)
{
    PartTimer timer(PART_TOOL);
    return g_createProcess(application, line, processAttributes, threadAttributes, inherit, flags, environment,
                           directory, startup, process);
}

DWORD WINAPI TimedWaitForSingleObject(HANDLE handle, DWORD ms)
{
    PartTimer timer(PART_TOOL);
    return g_waitForSingleObject(handle, ms);
}

BOOL WINAPI TimedGetExitCodeProcess(HANDLE process, LPDWORD code)
{
    PartTimer timer(PART_TOOL);
    return g_getExitCodeProcess(process, code);
}

BOOL WINAPI TimedCloseHandle(HANDLE handle)
{
    PartTimer timer(PART_TOOL);
    return g_closeHandle(handle);
}

DWORD WINAPI TimedGetProfileString(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                                   LPCSTR file)
{
    PartTimer timer(PART_PROFILE);
    return g_getProfileString(section, key, fallback, buffer, size, file);
}

UINT WINAPI TimedGetProfileInt(LPCSTR section, LPCSTR key, INT fallback, LPCSTR file)
{
    PartTimer timer(PART_PROFILE);
    return g_getProfileInt(section, key, fallback, file);
}

BOOL WINAPI TimedWriteProfileString(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR file)
{
    PartTimer timer(PART_PROFILE);
    return g_writeProfileString(section, key, text, file);
}

HWND WINAPI TimedGetDlgItem(HWND window, int id)
{
    PartTimer timer(BoxItemPart(window, id));
    return g_getDlgItem(window, id);
}

BOOL WINAPI TimedSetWindowText(HWND window, LPCSTR text)
{
    PartTimer timer(BoxPart(window));
    return g_setWindowText(window, text);
}

BOOL WINAPI TimedSetDlgItemText(HWND window, int id, LPCSTR text)
{
    PartTimer timer(BoxItemPart(window, id));
    return g_setDlgItemText(window, id, text);
}

LRESULT WINAPI TimedSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PartTimer timer(BoxPart(window, message));
    return g_sendMessage(window, message, wParam, lParam);
}

LRESULT WINAPI TimedSendDlgItemMessage(HWND window, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    PartTimer timer(BoxItemPart(window, id, message));
    return g_sendDlgItemMessage(window, id, message, wParam, lParam);
}

LONG_PTR WINAPI TimedGetWindowLongPtr(HWND window, int index)
{
    PartTimer timer(BoxPart(window));
    return g_getWindowLongPtr(window, index);
}

LONG_PTR WINAPI TimedSetWindowLongPtr(HWND window, int index, LONG_PTR value)
{
    PartTimer timer(BoxPart(window));
    return g_setWindowLongPtr(window, index, value);
}

BOOL WINAPI TimedRedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags)
{
    PartTimer timer(BoxPart(window));
    return g_redrawWindow(window, rect, region, flags);
}

// 32-bit user32 has no ...Ptr functions; the headers map them to the plain ones.
#ifdef _WIN64
const char kGetWindowLongName[] = "GetWindowLongPtrA";
const char kSetWindowLongName[] = "SetWindowLongPtrA";
#else
const char kGetWindowLongName[] = "GetWindowLongA";
const char kSetWindowLongName[] = "SetWindowLongA";
#endif

struct Clock {
    const char* name;   // NULL: the cable driver's entry point of the given ordinal
    WORD ordinal;
    void* wrapper;
    void** original;
};

const Clock kClocks[] = {
    { NULL, 70, (void*)TimedCableDeviceCount, (void**)&g_cableDeviceCount },
    { NULL, 72, (void*)TimedCableDeviceDetail, (void**)&g_cableDeviceDetail },
    { "CreateProcessA", 0, (void*)TimedCreateProcess, (void**)&g_createProcess },
    { "WaitForSingleObject", 0, (void*)TimedWaitForSingleObject, (void**)&g_waitForSingleObject },
    { "GetExitCodeProcess", 0, (void*)TimedGetExitCodeProcess, (void**)&g_getExitCodeProcess },
    { "CloseHandle", 0, (void*)TimedCloseHandle, (void**)&g_closeHandle },
    { "GetPrivateProfileStringA", 0, (void*)TimedGetProfileString, (void**)&g_getProfileString },
    { "GetPrivateProfileIntA", 0, (void*)TimedGetProfileInt, (void**)&g_getProfileInt },
    { "WritePrivateProfileStringA", 0, (void*)TimedWriteProfileString, (void**)&g_writeProfileString },
    { "GetDlgItem", 0, (void*)TimedGetDlgItem, (void**)&g_getDlgItem },
    { "SetWindowTextA", 0, (void*)TimedSetWindowText, (void**)&g_setWindowText },
    { "SetDlgItemTextA", 0, (void*)TimedSetDlgItemText, (void**)&g_setDlgItemText },
    { "SendMessageA", 0, (void*)TimedSendMessage, (void**)&g_sendMessage },
    { "SendDlgItemMessageA", 0, (void*)TimedSendDlgItemMessage, (void**)&g_sendDlgItemMessage },
    { kGetWindowLongName, 0, (void*)TimedGetWindowLongPtr, (void**)&g_getWindowLongPtr },
    { kSetWindowLongName, 0, (void*)TimedSetWindowLongPtr, (void**)&g_setWindowLongPtr },
    { "RedrawWindow", 0, (void*)TimedRedrawWindow, (void**)&g_redrawWindow },
};

// Points the import slots that name the clock's function at the given address; returns what they held,
// or NULL when nothing here imports the function.
void* SwapClock(const Clock& clock, void* address)
{
    void* held = NULL;
    if (::SwapImport("ftd2xx.dll", clock.name, clock.ordinal, address, &held) != 0)
        Fail("cannot rewrite this program's import table");
    return held;
}

void StartClocks()
{
    for (const Clock& clock : kClocks) {
        // A function the loader code does not import is never called by it: nothing to time.
        *clock.original = SwapClock(clock, clock.wrapper);
    }
    if (g_sendMessage == NULL || g_createProcess == NULL || g_getProfileString == NULL || g_cableDeviceDetail == NULL)
        Fail("the loader's platform calls are not in this program's import table");
}

void StopClocks()
{
    for (const Clock& clock : kClocks) {
        if (*clock.original != NULL)
            SwapClock(clock, *clock.original);
        *clock.original = NULL;
    }
    g_clockedWindow = NULL;
    g_clockedBox = NULL;
}

// One in-process command and its parts.
struct Timing {
    double total;
    PartClock clock;
};

Timing TimeInProcessCommand(HWND window, int id)
{
    HWND control = GetDlgItem(window, id);
    Timing parts;
    g_clock = PartClock();
    g_clockRunning = true;
    double started = NowMs();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control);
    parts.total = NowMs() - started;
    g_clockRunning = false;
    parts.clock = g_clock;
    return parts;
}

double MedianOf(const std::vector<Timing>& timings, double (*part)(const Timing&))
{
    std::vector<double> values;
    for (const Timing& timing : timings)
        values.push_back(part(timing));
    return Median(values);
}

double TotalOf(const Timing& timing) { return timing.total; }
double ToolOf(const Timing& timing) { return timing.clock.ms[PART_TOOL]; }
double DriverOf(const Timing& timing) { return timing.clock.ms[PART_DRIVER]; }
double ProfileOf(const Timing& timing) { return timing.clock.ms[PART_PROFILE]; }
double BoxOf(const Timing& timing) { return timing.clock.ms[PART_SHOW] + timing.clock.ms[PART_SCROLL]; }
double ShowsOf(const Timing& timing) { return timing.clock.ms[PART_SHOW]; }
double ScrollOf(const Timing& timing) { return timing.clock.ms[PART_SCROLL]; }
double OwnWorkOf(const Timing& timing) { return timing.total - timing.clock.ms[PART_TOOL]; }
double RestOf(const Timing& timing)
{
    double rest = timing.total;
    for (int part = 0; part < PART_COUNT; ++part)
        rest -= timing.clock.ms[part];
    return rest;
}
double DriverCallsOf(const Timing& timing) { return timing.clock.calls[PART_DRIVER]; }
double ProfileCallsOf(const Timing& timing) { return timing.clock.calls[PART_PROFILE]; }
double BoxCallsOf(const Timing& timing) { return timing.clock.calls[PART_SHOW] + timing.clock.calls[PART_SCROLL]; }

bool g_partsShown;   // the legend of the parts follows the report

// The program's own parts of in-process commands, as medians.
std::string OwnPartsText(const std::vector<Timing>& timings)
{
    g_partsShown = true;
    return Format("profile calls %.2f ms (%.0f calls), status box %.2f ms (%.0f calls: shows %.2f ms, scroll to the "
                  "end %.2f ms)",
                  MedianOf(timings, ProfileOf), MedianOf(timings, ProfileCallsOf), MedianOf(timings, BoxOf),
                  MedianOf(timings, BoxCallsOf), MedianOf(timings, ShowsOf), MedianOf(timings, ScrollOf)) +
           Format(", rest %.2f ms", MedianOf(timings, RestOf));
}

void NoteParts()
{
    Note("in-process parts, each a median (so they need not add up exactly), timed at this program's imports:");
    Note("  tool start and wait: CreateProcessA, WaitForSingleObject, GetExitCodeProcess, CloseHandle");
    Note("  cable driver stand-in: ordinals 70 and 72 (the stand-in reads its INI file and logs every call)");
    Note("  profile calls: GetPrivateProfileStringA, GetPrivateProfileIntA, WritePrivateProfileStringA");
    Note("  status box: user32 calls on box 4009; scroll to the end: its WM_VSCROLL SB_BOTTOM, shows: all others");
    Note("  rest: everything else (window size and position, buttons, file check, Recent-file combo box, log text)");
}

// The program's own message loop would paint the window between Loads; here this does it.
void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

Timing g_initTiming;   // the last in-process window's initialisation

// The Main window's procedure, with its initialisation (the start-up's own work) taken apart.
INT_PTR CALLBACK ClockedMainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return MainDialogProc(window, message, wParam, lParam);
    g_clockedWindow = window;
    g_clockedBox = GetDlgItem(window, IDC_STATUS);
    g_clock = PartClock();
    g_clockRunning = true;
    double started = NowMs();
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    g_initTiming.total = NowMs() - started;
    g_clockRunning = false;
    g_initTiming.clock = g_clock;
    return result;
}

// The Main window in this process, on a fresh state whose Program directory is the scratch folder;
// the driver stand-in loaded into this process reads its cables from the given folder. The clocks
// run while the window lives.
HWND OpenInProcessWindow(const Layout& layout, const std::string& cableDir)
{
    static const BOOL registered = RegisterLoaderClass(GetModuleHandleA(NULL));
    if (!registered)
        Fail("cannot register the Main window's class");
    StartClocks();
    SetEnvironmentVariableA("STANDIN_DIR", cableDir.c_str());
    ResetLoaderState();
    g_state.instance = GetModuleHandleA(NULL);
    lstrcpyA(g_state.programDirectory, layout.dir.c_str());
    // A Settings file of its own, with a position beside the other loader's window, so that the
    // two windows neither cover each other nor rewrite each other's file when they move.
    std::string ini = layout.dir + "VLR Loader (in-process).ini";
    WriteText(ini, "[DlgPosition]\r\nX=640\r\nY=0\r\n");
    lstrcpyA(g_state.settingsPath, ini.c_str());
    HWND window = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, ClockedMainDialogProc, 0);
    if (window == NULL)
        Fail("cannot open the Main window in this process");
    PumpMessages();
    if (!IsWindowEnabled(GetDlgItem(window, IDC_LOAD)))
        Fail("Load is disabled in the in-process Main window");
    SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, layout.bitstream.c_str());
    return window;
}

void CloseInProcessWindow(HWND window)
{
    DestroyWindow(window);
    PumpMessages();
    StopClocks();
    ResetLoaderState();
    SetEnvironmentVariableA("STANDIN_DIR", NULL);
}

// A Program directory of its own, whose driver stand-in reports the given number of cables.
std::string CableDirectory(const Layout& layout, int cables)
{
    std::string dir = layout.dir + "cables" + std::to_string(cables) + "\\";
    if (!CreateDirectoryA(dir.c_str(), NULL))
        Fail("cannot create " + dir);
    CopyInto(layout.loader, dir, "VLR Loader.exe");
    CopyInto(layout.dir + "ftd2xx.dll", dir, "ftd2xx.dll");
    std::string ini = "[Driver]\r\nCount=" + std::to_string(cables) + "\r\n";
    for (int i = 0; i < cables; ++i)
        ini += "Description" + std::to_string(i) + "=Vellora USB JTAG Cable " + std::to_string(i) + "\r\n";
    WriteText(dir + "ftd2xx-standin.ini", ini);
    return dir;
}

// A Refresh that did not list every cable would be timed doing less than asked.
void CheckCableList(const std::string& log, int cables)
{
    static const std::string kName = "\r\nDevice name: Vellora USB JTAG Cable ";
    std::string head = "Devices found: " + std::to_string(cables) + "\r\n";
    int names = 0;
    for (size_t at = log.find(kName); at != std::string::npos; at = log.find(kName, at + 1))
        ++names;
    if (log.compare(0, head.size(), head) != 0 || names != cables)
        Fail("the loader did not list its " + std::to_string(cables) + " cables");
}

void MeasureStartUp(const Layout& layout)
{
    // The loader, the bare dialog, the bare dialog with the loader's imports; and the Main window
    // opened in this process, which shows what the loader's initialisation is made of.
    const std::string programs[3] = { layout.loader, layout.bareDialog, layout.bareDialogImports };
    std::vector<double> startMs[3];
    std::vector<Timing> inits;
    Child child;
    // Warm-up: the first starts fill Wine's caches.
    for (int i = 0; i < 2; ++i) {
        for (const std::string& program : programs) {
            TimeStartUp(program, layout.dir, kMainClass, &child);
            CloseChild(&child);
        }
    }
    for (int i = 0; i < kStartRuns; ++i) {
        for (int turn = 0; turn < 4; ++turn) {
            int side = (turn + i) % 4;
            if (side == 3) {
                CloseInProcessWindow(OpenInProcessWindow(layout, layout.dir));
                inits.push_back(g_initTiming);
            } else {
                startMs[side].push_back(TimeStartUp(programs[side], layout.dir, kMainClass, &child));
                CloseChild(&child);
            }
        }
    }
    double loader = Median(startMs[0]);
    double bare = Median(startMs[1]);
    Report("start-up ratio", loader / bare, "", "<= 1.15", loader / bare <= 1.15);
    Note(Format("loader %.1f ms, bare dialog with the same class and template %.1f ms (medians of %.0f runs each)",
                loader, bare, kStartRuns));
    Note(Format("the bare dialog importing what the loader imports beyond it (shlwapi, the cable driver) "
                "%.1f ms", Median(startMs[2])));
    Note(Format("in-process, the loader's WM_INITDIALOG %.2f ms; cable driver stand-in %.2f ms (%.0f calls),",
                MedianOf(inits, TotalOf), MedianOf(inits, DriverOf), MedianOf(inits, DriverCallsOf)));
    Note("  " + OwnPartsText(inits));
}

// Two loaders, each in its own Program directory with its own number of cables, and the Main window
// in this process, refreshed in turn; no driver file changes meanwhile, so all stay in Wine's
// profile cache.
void MeasureRefresh(const Layout& layout)
{
    const int cables[2] = { kFewCables, kManyCables };
    std::string dirs[2];
    Child loaders[2];
    HWND buttons[2];
    for (int side = 0; side < 2; ++side) {
        dirs[side] = CableDirectory(layout, cables[side]);
        TimeStartUp(dirs[side] + "VLR Loader.exe", dirs[side], kMainClass, &loaders[side]);
        buttons[side] = GetDlgItem(loaders[side].window, IDC_REFRESH);
    }
    HWND inWindow = OpenInProcessWindow(layout, dirs[0]);
    std::vector<double> refreshMs[2];
    std::vector<Timing> inProcess[2];
    for (int run = -1; run < kRefreshRuns; ++run) {   // run -1 warms up
        for (int turn = 0; turn < 4; ++turn) {
            int item = (turn + run + 1) % 4;   // 0 and 1 the loaders, 2 and 3 the window here
            int side = item % 2;
            if (item < 2) {
                double ms = TimeCommand(loaders[side], IDC_REFRESH, buttons[side]);
                CheckCableList(StatusText(loaders[side].window), cables[side]);
                if (run >= 0)
                    refreshMs[side].push_back(ms);
            } else {
                SetEnvironmentVariableA("STANDIN_DIR", dirs[side].c_str());
                Timing timing = TimeInProcessCommand(inWindow, IDC_REFRESH);
                PumpMessages();
                CheckCableList(g_state.logBuffer, cables[side]);
                if (run >= 0)
                    inProcess[side].push_back(timing);
            }
        }
    }
    CloseInProcessWindow(inWindow);
    CloseChild(&loaders[0]);
    CloseChild(&loaders[1]);

    double few = Median(refreshMs[0]);
    double many = Median(refreshMs[1]);
    Report("refresh 400/100 cables ratio", many / few, "", "<= 5", many / few <= 5.0);
    Note(Format("Refresh listing %.0f cables %.1f ms, %.0f cables %.1f ms (medians of %.0f runs each)", kFewCables,
                few, kManyCables, many, kRefreshRuns));
    for (int side = 0; side < 2; ++side) {
        const std::vector<Timing>& timings = inProcess[side];
        Note(Format("in-process, %.0f cables: Refresh %.1f ms; cable driver stand-in %.1f ms (%.0f calls),",
                    cables[side], MedianOf(timings, TotalOf), MedianOf(timings, DriverOf),
                    MedianOf(timings, DriverCallsOf)));
        Note("  " + OwnPartsText(timings));
    }
}

// A loader whose Main window is initialised and whose bitstream combo box names the bench file.
Child StartLoaderForLoads(const Layout& layout, const std::string& dir)
{
    Child loader;
    TimeStartUp(dir + "VLR Loader.exe", dir, kMainClass, &loader);
    if (!IsWindowEnabled(GetDlgItem(loader.window, IDC_LOAD)))
        Fail("Load is disabled in the loader");
    SendMessageA(GetDlgItem(loader.window, IDC_BITSTREAM_COMBO), WM_SETTEXT, 0, (LPARAM)layout.bitstream.c_str());
    return loader;
}

Child StartBareRunner(const Layout& layout)
{
    Child runner;
    StartChild("\"" + layout.bareRunner + "\" xc3sprog.exe -c ftdi -v \"" + layout.bitstream + "\":w", layout.dir,
               &runner);
    double started = NowMs();
    while ((runner.window = FindProcessWindow(runner.info.dwProcessId, "BareToolRunner")) == NULL) {
        if (NowMs() - started > 30000)
            Fail("the bare tool runner shows no window");
        Sleep(1);
    }
    return runner;
}

// How a Load ended, from what it added to the status log. Under load Wine may refuse a tool start
// now and then; the program reports it and goes on, and so does the bench, counting it.
enum Outcome { OUTCOME_LOADED, OUTCOME_REFUSED, OUTCOME_FAILED };

bool EndsWith(const std::string& text, const char* tail)
{
    size_t length = std::strlen(tail);
    return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

Outcome LoadOutcome(const std::string& log, size_t lengthBefore)
{
    if (log.size() <= lengthBefore)
        Fail("a Load added nothing to the status log");
    if (EndsWith(log, "sample.bit loaded into FPGA\r\n"))
        return OUTCOME_LOADED;
    return EndsWith(log, "Run XC3SProg failed!\r\nIO Error\r\n") ? OUTCOME_REFUSED : OUTCOME_FAILED;
}

struct Tally {
    int ran;
    int refused;
    int failed;   // started, but the tool reported an error
};

void Count(Tally* tally, Outcome outcome)
{
    (outcome == OUTCOME_LOADED ? tally->ran : outcome == OUTCOME_REFUSED ? tally->refused : tally->failed) += 1;
}

// A loader session driven from here, and what its Loads did.
struct Session {
    Child child;
    HWND loadButton;
    size_t logLength;
    double totalMs;
    Tally tally;
};

Session StartSession(const Layout& layout, const std::string& dir)
{
    Session session = {};
    session.child = StartLoaderForLoads(layout, dir);
    session.loadButton = GetDlgItem(session.child.window, IDC_LOAD);
    session.logLength = StatusText(session.child.window).size();
    return session;
}

int LoadsOf(const Tally& tally)
{
    return tally.ran + tally.refused + tally.failed;
}

// One Load; its time joins the samples only when its tool ran.
void LoadInSession(Session* session, std::vector<double>* samples)
{
    double ms = TimeCommand(session->child, IDC_LOAD, session->loadButton);
    session->totalMs += ms;
    std::string log = StatusText(session->child.window);
    Outcome outcome = LoadOutcome(log, session->logLength);
    session->logLength = log.size();
    Count(&session->tally, outcome);
    if (samples != NULL && outcome == OUTCOME_LOADED)
        samples->push_back(ms);
}

void LoadInProcess(HWND window, Tally* tally, std::vector<Timing>* samples)
{
    size_t lengthBefore = std::strlen(g_state.logBuffer);
    Timing timing = TimeInProcessCommand(window, IDC_LOAD);
    PumpMessages();
    Outcome outcome = LoadOutcome(g_state.logBuffer, lengthBefore);
    Count(tally, outcome);
    if (samples != NULL && outcome == OUTCOME_LOADED)
        samples->push_back(timing);
}

void RunBare(const Child& runner, Tally* tally, std::vector<double>* samples)
{
    double started = NowMs();
    bool ran = SendMessageA(runner.window, kRunTool, 0, 0) != 0;
    double ms = NowMs() - started;
    Count(tally, ran ? OUTCOME_LOADED : OUTCOME_REFUSED);
    if (samples != NULL && ran)
        samples->push_back(ms);
}

void ReportOwnWork(const char* name, const std::vector<double>& loadMs, const std::vector<double>& bareMs,
                   int first, int last, const std::vector<Timing>& inProcess)
{
    double load = Median(loadMs);
    double bare = Median(bareMs);
    Report(name, load - bare, " ms", "< 40 ms", load - bare < kOwnWorkTargetMs);
    Note(Format("Load %.2f ms - bare CreateProcessA + wait %.2f ms (medians of the %.0f Loads %.0f-%.0f whose tool ran",
                load, bare, (double)loadMs.size(), first, last) +
         Format(" and of the %.0f bare runs among them)", (double)bareMs.size()));
    Note(Format("in-process Loads %.0f-%.0f: Load %.2f ms - tool start and wait %.2f ms = own work %.2f ms:", first,
                last, MedianOf(inProcess, TotalOf), MedianOf(inProcess, ToolOf), MedianOf(inProcess, OwnWorkOf)));
    Note("  " + OwnPartsText(inProcess));
}

static_assert(kLateLast - kLateFirst == kEarlyLast - kEarlyFirst, "the two stretches take turns Load by Load");
static_assert(kLateLast == kLongLoads, "the late stretch ends the session");

// A session of 1,000 Loads whose last Loads take turns with the first Loads of a new session, so that
// the 10th and the 1,000th Load meet the same machine, with bare tool runs among them. The Main window
// in this process goes through its own 1,000 Loads alongside, taken apart.
void MeasureLongRun(const Layout& layout)
{
    Session old = StartSession(layout, layout.dir);
    Child runner = StartBareRunner(layout);
    HWND here = OpenInProcessWindow(layout, layout.dir);
    size_t runsBefore = CountToolRuns(layout.dir);
    Tally hereTally = {}, bareTally = {};
    std::vector<Timing> hereEarly, hereLate;
    for (int load = 1; load < kLateFirst; ++load) {
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn + load) % 2 == 0)
                LoadInSession(&old, NULL);
            else
                LoadInProcess(here, &hereTally, load >= kEarlyFirst && load <= kEarlyLast ? &hereEarly : NULL);
        }
    }

    for (int i = 0; i < 2; ++i)   // the bare runner's first runs fill its caches
        RunBare(runner, &bareTally, NULL);
    // A Program directory of its own puts the new session's window below the others instead of on
    // top of the old one's, whose box would then not be drawn.
    std::string youngDir = layout.dir + "new session\\";
    if (!CreateDirectoryA(youngDir.c_str(), NULL))
        Fail("cannot create " + youngDir);
    for (const char* name : { "VLR Loader.exe", "ftd2xx.dll", "xc3sprog.exe" })
        CopyInto(layout.dir + name, youngDir, name);
    WriteText(youngDir + "VLR Loader.ini", "[DlgPosition]\r\nX=0\r\nY=520\r\n");
    Session young = StartSession(layout, youngDir);
    std::vector<double> youngMs, oldMs, bareMs;
    for (int load = 1; load <= kEarlyLast; ++load) {
        // Everything takes turns at going first.
        int turns = load >= kEarlyFirst ? 5 : 1;
        for (int turn = 0; turn < turns; ++turn) {
            switch ((turn + load) % turns) {
            case 0:
                LoadInSession(&young, load >= kEarlyFirst ? &youngMs : NULL);
                break;
            case 1:
                LoadInSession(&old, &oldMs);
                break;
            case 2:
                LoadInProcess(here, &hereTally, &hereLate);
                break;
            default:
                RunBare(runner, &bareTally, &bareMs);
                break;
            }
        }
    }
    size_t hereLogLength = std::strlen(g_state.logBuffer);
    CloseInProcessWindow(here);
    CloseChild(&runner);
    CloseChild(&young.child);
    CloseChild(&old.child);

    if (LoadsOf(old.tally) != kLongLoads || LoadsOf(hereTally) != kLongLoads)
        Fail("the sessions did not make 1000 Loads");
    // Every start that was not refused ran the tool stand-in once, which logs its run unless it failed early.
    int failed = old.tally.failed + young.tally.failed + hereTally.failed;
    int started = old.tally.ran + young.tally.ran + hereTally.ran + bareTally.ran + failed;
    int logged = (int)(CountToolRuns(layout.dir) - runsBefore);
    if (logged > started || logged < started - failed)
        Fail("the tool stand-in logged " + std::to_string(logged) + " runs for " + std::to_string(started) +
             " starts");
    if (youngMs.empty() || oldMs.empty() || bareMs.empty() || hereEarly.empty() || hereLate.empty())
        Fail("every tool start of a compared stretch was refused");

    double youngMedian = Median(youngMs);
    double oldMedian = Median(oldMs);
    Report("1000th/10th Load ratio", oldMedian / youngMedian, "", "<= 1.2", oldMedian / youngMedian <= 1.2);
    Note(Format("Loads %.0f-%.0f of a session %.2f ms, Loads %.0f-%.0f of a new session %.2f ms, in turns", kLateFirst,
                kLateLast, oldMedian, kEarlyFirst, kEarlyLast, youngMedian));
    ReportOwnWork("Load's own work at the 10th", youngMs, bareMs, kEarlyFirst, kEarlyLast, hereEarly);
    ReportOwnWork("Load's own work at the 1000th", oldMs, bareMs, kLateFirst, kLateLast, hereLate);
    Note(Format("refused tool starts: loader %.0f of %.0f, in-process %.0f of %.0f, bare runner %.0f of %.0f",
                old.tally.refused + young.tally.refused, LoadsOf(old.tally) + LoadsOf(young.tally), hereTally.refused,
                LoadsOf(hereTally), bareTally.refused, LoadsOf(bareTally)));
    if (failed != 0)
        Note(Format("tool runs that reported an error: %.0f", failed));
    Note(Format("the session's %.0f Loads took %.1f s; its status box at the end %.0f characters (in-process %.0f)",
                kLongLoads, old.totalMs / 1000.0, (double)old.logLength, (double)hereLogLength));
}

}  // namespace

// Arguments name the measurements to run (startup, recent, refresh, long); none runs them all.
int main(int argc, char** argv)
{
    std::printf("VLR Loader bench under Wine: medians of interleaved runs against the bare platform\n");
    std::fflush(stdout);
    Layout layout = LayOut(ExeDirectory());
    // The children inherit the standard handles; the tool's console text would otherwise run into
    // this report. The C runtime keeps its own copy of them, so the report itself still prints.
    HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    SetStdHandle(STD_INPUT_HANDLE, nul);
    SetStdHandle(STD_OUTPUT_HANDLE, nul);
    SetStdHandle(STD_ERROR_HANDLE, nul);
    struct Measurement {
        const char* name;
        void (*run)(const Layout&);
    };
    const Measurement measurements[] = { { "startup", MeasureStartUp }, { "recent", MeasureRecentPush },
                                         { "refresh", MeasureRefresh }, { "long", MeasureLongRun } };
    for (int i = 1; i < argc; ++i) {
        bool known = false;
        for (const Measurement& measurement : measurements)
            known = known || std::strcmp(argv[i], measurement.name) == 0;
        if (!known) {
            std::printf("unknown measurement %s: choose from startup, recent, refresh, long\n", argv[i]);
            return 2;
        }
    }
    double started = NowMs();
    for (const Measurement& measurement : measurements) {
        bool chosen = argc < 2;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || std::strcmp(argv[i], measurement.name) == 0;
        if (chosen)
            measurement.run(layout);
    }
    if (g_partsShown)
        NoteParts();
    std::printf("bench time %.0f s\n", (NowMs() - started) / 1000.0);
    return 0;
}
