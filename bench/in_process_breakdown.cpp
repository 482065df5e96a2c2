// The Main window run in the bench driver's own process, its commands taken apart at the import table.
#include "bench/in_process_breakdown.h"

#include "app/loader_state.h"
#include "app/startup.h"
#include "device/cable_driver.h"
#include "res/resource.h"
#include "tests/support/import_slots.h"
#include "ui/main_dialog.h"

// Loads and Refreshes are also run in this process, where the loader's calls to the platform and to
// the cable driver pass through this program's import table and can be timed: each slot is pointed
// at a wrapper that adds its call's time to one part of the command.
static Timing g_clock;
static bool g_clockRunning;   // only while an in-process command runs
static int g_clockDepth;      // a call made inside a timed call is not counted twice
static HWND g_clockedWindow;
static HWND g_clockedBox;
static std::vector<std::string> g_toolLines;   // of the command that runs or ran last
static double g_runStarted;                    // when the tool run under way was started, 0 between runs

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
static Part BoxPart(HWND window, UINT message = 0)
{
    if (window == NULL || window != g_clockedBox)
        return PART_NONE;
    return message == WM_VSCROLL ? PART_SCROLL : PART_SHOW;
}

static Part BoxItemPart(HWND window, int id, UINT message = 0)
{
    return window == g_clockedWindow && id == IDC_STATUS ? BoxPart(g_clockedBox, message) : PART_NONE;
}

static decltype(&CableDeviceCount) g_cableDeviceCount;
static decltype(&CableDeviceDetail) g_cableDeviceDetail;
static decltype(&CreateProcessA) g_createProcess;
static decltype(&WaitForSingleObject) g_waitForSingleObject;
static decltype(&GetExitCodeProcess) g_getExitCodeProcess;
static decltype(&CloseHandle) g_closeHandle;
static decltype(&CreateNamedPipeA) g_createNamedPipe;
static decltype(&CreateEventA) g_createEvent;
static decltype(&ReadFile) g_readFile;
static decltype(&GetOverlappedResult) g_getOverlappedResult;
static decltype(&MsgWaitForMultipleObjectsEx) g_msgWait;
static decltype(&PeekMessageA) g_peekMessage;
static decltype(&DispatchMessageA) g_dispatchMessage;
static decltype(&GetPrivateProfileStringA) g_getProfileString;
static decltype(&WritePrivateProfileStringA) g_writeProfileString;
static decltype(&GetDlgItem) g_getDlgItem;
static decltype(&SetWindowTextA) g_setWindowText;
static decltype(&SetDlgItemTextA) g_setDlgItemText;
static decltype(&SendMessageA) g_sendMessage;
static decltype(&SendDlgItemMessageA) g_sendDlgItemMessage;
static decltype(&GetWindowLongPtrA) g_getWindowLongPtr;
static decltype(&SetWindowLongPtrA) g_setWindowLongPtr;
static decltype(&RedrawWindow) g_redrawWindow;
static decltype(&Sleep) g_sleep;

static ULONG WINAPI TimedCableDeviceCount(DWORD* count)
{
    PartTimer timer(PART_DRIVER);
    return g_cableDeviceCount(count);
}

static ULONG WINAPI TimedCableDeviceDetail(DWORD index, DWORD* flags, DWORD* type, DWORD* id, DWORD* location,
                                           char* serial16, char* description64, ULONG_PTR* handle)
{
    PartTimer timer(PART_DRIVER);
    return g_cableDeviceDetail(index, flags, type, id, location, serial16, description64, handle);
}

static BOOL WINAPI TimedCreateProcess(LPCSTR application, LPSTR line, LPSECURITY_ATTRIBUTES processAttributes,
                                      LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags,
                                      LPVOID environment, LPCSTR directory, LPSTARTUPINFOA startup,
                                      LPPROCESS_INFORMATION process)
{
    if (g_clockRunning && line != NULL)
        g_toolLines.push_back(line);
    if (g_clockRunning && g_clockDepth == 0)
        g_runStarted = NowMs();
    PartTimer timer(PART_TOOL);
    return g_createProcess(application, line, processAttributes, threadAttributes, inherit, flags, environment,
                           directory, startup, process);
}

static DWORD WINAPI TimedWaitForSingleObject(HANDLE handle, DWORD ms)
{
    PartTimer timer(PART_TOOL);
    return g_waitForSingleObject(handle, ms);
}

// The loader asks for the exit code once the run has been watched to its end: the run's span ends here.
static BOOL WINAPI TimedGetExitCodeProcess(HANDLE process, LPDWORD code)
{
    if (g_clockRunning && g_runStarted > 0.0) {
        g_clock.runs += NowMs() - g_runStarted;
        g_runStarted = 0.0;
    }
    PartTimer timer(PART_TOOL);
    return g_getExitCodeProcess(process, code);
}

static BOOL WINAPI TimedCloseHandle(HANDLE handle)
{
    PartTimer timer(PART_TOOL);
    return g_closeHandle(handle);
}

// The pipe that carries the tool's output, and the wait on it, the tool and the window's messages.
static HANDLE WINAPI TimedCreateNamedPipe(LPCSTR name, DWORD openMode, DWORD pipeMode, DWORD instances, DWORD outSize,
                                          DWORD inSize, DWORD timeout, LPSECURITY_ATTRIBUTES attributes)
{
    PartTimer timer(PART_TOOL);
    return g_createNamedPipe(name, openMode, pipeMode, instances, outSize, inSize, timeout, attributes);
}

static HANDLE WINAPI TimedCreateEvent(LPSECURITY_ATTRIBUTES attributes, BOOL manual, BOOL initial, LPCSTR name)
{
    PartTimer timer(PART_TOOL);
    return g_createEvent(attributes, manual, initial, name);
}

static BOOL WINAPI TimedReadFile(HANDLE file, LPVOID buffer, DWORD size, LPDWORD read, LPOVERLAPPED overlapped)
{
    PartTimer timer(PART_TOOL);
    return g_readFile(file, buffer, size, read, overlapped);
}

static BOOL WINAPI TimedGetOverlappedResult(HANDLE file, LPOVERLAPPED overlapped, LPDWORD size, BOOL wait)
{
    PartTimer timer(PART_TOOL);
    return g_getOverlappedResult(file, overlapped, size, wait);
}

static DWORD WINAPI TimedMsgWait(DWORD count, const HANDLE* handles, DWORD ms, DWORD wake, DWORD flags)
{
    PartTimer timer(PART_TOOL);
    return g_msgWait(count, handles, ms, wake, flags);
}

static BOOL WINAPI TimedPeekMessage(LPMSG message, HWND window, UINT first, UINT last, UINT remove)
{
    PartTimer timer(PART_TOOL);
    return g_peekMessage(message, window, first, last, remove);
}

// What the window is sent meanwhile is mostly its painting.
static LRESULT WINAPI TimedDispatchMessage(const MSG* message)
{
    PartTimer timer(PART_PAINT);
    return g_dispatchMessage(message);
}

static DWORD WINAPI TimedGetProfileString(LPCSTR section, LPCSTR key, LPCSTR fallback, LPSTR buffer, DWORD size,
                                          LPCSTR file)
{
    PartTimer timer(PART_PROFILE);
    return g_getProfileString(section, key, fallback, buffer, size, file);
}

static BOOL WINAPI TimedWriteProfileString(LPCSTR section, LPCSTR key, LPCSTR text, LPCSTR file)
{
    PartTimer timer(PART_PROFILE);
    return g_writeProfileString(section, key, text, file);
}

static HWND WINAPI TimedGetDlgItem(HWND window, int id)
{
    PartTimer timer(BoxItemPart(window, id));
    return g_getDlgItem(window, id);
}

static BOOL WINAPI TimedSetWindowText(HWND window, LPCSTR text)
{
    PartTimer timer(BoxPart(window));
    return g_setWindowText(window, text);
}

static BOOL WINAPI TimedSetDlgItemText(HWND window, int id, LPCSTR text)
{
    PartTimer timer(BoxItemPart(window, id));
    return g_setDlgItemText(window, id, text);
}

static LRESULT WINAPI TimedSendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    PartTimer timer(BoxPart(window, message));
    return g_sendMessage(window, message, wParam, lParam);
}

static LRESULT WINAPI TimedSendDlgItemMessage(HWND window, int id, UINT message, WPARAM wParam, LPARAM lParam)
{
    PartTimer timer(BoxItemPart(window, id, message));
    return g_sendDlgItemMessage(window, id, message, wParam, lParam);
}

static LONG_PTR WINAPI TimedGetWindowLongPtr(HWND window, int index)
{
    PartTimer timer(BoxPart(window));
    return g_getWindowLongPtr(window, index);
}

static LONG_PTR WINAPI TimedSetWindowLongPtr(HWND window, int index, LONG_PTR value)
{
    PartTimer timer(BoxPart(window));
    return g_setWindowLongPtr(window, index, value);
}

// On the Main window: the painting that shows the window's state before each tool run and pause.
static BOOL WINAPI TimedRedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags)
{
    PartTimer timer(window != NULL && window == g_clockedWindow ? PART_PAINT : BoxPart(window));
    return g_redrawWindow(window, rect, region, flags);
}

// The fixed pauses between the steps of a flash Load.
static void WINAPI TimedSleep(DWORD ms)
{
    PartTimer timer(PART_PAUSE);
    g_sleep(ms);
}

// 32-bit user32 has no ...Ptr functions; the headers map them to the plain ones.
#ifdef _WIN64
static const char kGetWindowLongName[] = "GetWindowLongPtrA";
static const char kSetWindowLongName[] = "SetWindowLongPtrA";
#else
static const char kGetWindowLongName[] = "GetWindowLongA";
static const char kSetWindowLongName[] = "SetWindowLongA";
#endif

struct Clock {
    const char* name;   // NULL: the cable driver's entry point of the given ordinal
    WORD ordinal;
    void* wrapper;
    void** original;
};

static const Clock kClocks[] = {
    { NULL, 70, (void*)TimedCableDeviceCount, (void**)&g_cableDeviceCount },
    { NULL, 72, (void*)TimedCableDeviceDetail, (void**)&g_cableDeviceDetail },
    { "CreateProcessA", 0, (void*)TimedCreateProcess, (void**)&g_createProcess },
    { "WaitForSingleObject", 0, (void*)TimedWaitForSingleObject, (void**)&g_waitForSingleObject },
    { "GetExitCodeProcess", 0, (void*)TimedGetExitCodeProcess, (void**)&g_getExitCodeProcess },
    { "CloseHandle", 0, (void*)TimedCloseHandle, (void**)&g_closeHandle },
    { "CreateNamedPipeA", 0, (void*)TimedCreateNamedPipe, (void**)&g_createNamedPipe },
    { "CreateEventA", 0, (void*)TimedCreateEvent, (void**)&g_createEvent },
    { "ReadFile", 0, (void*)TimedReadFile, (void**)&g_readFile },
    { "GetOverlappedResult", 0, (void*)TimedGetOverlappedResult, (void**)&g_getOverlappedResult },
    { "MsgWaitForMultipleObjectsEx", 0, (void*)TimedMsgWait, (void**)&g_msgWait },
    { "PeekMessageA", 0, (void*)TimedPeekMessage, (void**)&g_peekMessage },
    { "DispatchMessageA", 0, (void*)TimedDispatchMessage, (void**)&g_dispatchMessage },
    { "GetPrivateProfileStringA", 0, (void*)TimedGetProfileString, (void**)&g_getProfileString },
    { "WritePrivateProfileStringA", 0, (void*)TimedWriteProfileString, (void**)&g_writeProfileString },
    { "GetDlgItem", 0, (void*)TimedGetDlgItem, (void**)&g_getDlgItem },
    { "SetWindowTextA", 0, (void*)TimedSetWindowText, (void**)&g_setWindowText },
    { "SetDlgItemTextA", 0, (void*)TimedSetDlgItemText, (void**)&g_setDlgItemText },
    { "SendMessageA", 0, (void*)TimedSendMessage, (void**)&g_sendMessage },
    { "SendDlgItemMessageA", 0, (void*)TimedSendDlgItemMessage, (void**)&g_sendDlgItemMessage },
    { kGetWindowLongName, 0, (void*)TimedGetWindowLongPtr, (void**)&g_getWindowLongPtr },
    { kSetWindowLongName, 0, (void*)TimedSetWindowLongPtr, (void**)&g_setWindowLongPtr },
    { "RedrawWindow", 0, (void*)TimedRedrawWindow, (void**)&g_redrawWindow },
    { "Sleep", 0, (void*)TimedSleep, (void**)&g_sleep },
};

// Points the import slots that name the clock's function at the given address; returns what they held,
// or NULL when nothing here imports the function.
static void* SwapClock(const Clock& clock, void* address)
{
    void* held = NULL;
    if (::SwapImport("ftd2xx.dll", clock.name, clock.ordinal, address, &held) != 0)
        Fail("cannot rewrite this program's import table");
    return held;
}

static void StartClocks()
{
    // A function the loader code does not import is never called by it: nothing to time.
    for (const Clock& clock : kClocks)
        *clock.original = SwapClock(clock, clock.wrapper);
    if (g_sendMessage == NULL || g_createProcess == NULL || g_getProfileString == NULL || g_cableDeviceDetail == NULL)
        Fail("the loader's platform calls are not in this program's import table");
}

static void StopClocks()
{
    for (const Clock& clock : kClocks) {
        if (*clock.original != NULL)
            SwapClock(clock, *clock.original);
        *clock.original = NULL;
    }
    g_clockedWindow = NULL;
    g_clockedBox = NULL;
}

// The program's own message loop would paint the window between commands; here this does it.
static void PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

Timing TimeInProcessCommand(HWND window, int id)
{
    HWND control = GetDlgItem(window, id);
    g_clock = Timing();
    g_toolLines.clear();
    g_runStarted = 0.0;
    g_clockRunning = true;
    double started = NowMs();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)control);
    g_clock.total = NowMs() - started;
    g_clockRunning = false;
    PumpMessages();
    return g_clock;
}

const std::vector<std::string>& LastToolLines()
{
    return g_toolLines;
}

double MedianOf(const std::vector<Timing>& timings, double (*part)(const Timing&))
{
    std::vector<double> values;
    for (const Timing& timing : timings)
        values.push_back(part(timing));
    return Median(values);
}

double TotalOf(const Timing& timing) { return timing.total; }
double ToolOf(const Timing& timing) { return timing.ms[PART_TOOL]; }
double DriverOf(const Timing& timing) { return timing.ms[PART_DRIVER]; }
static double ProfileOf(const Timing& timing) { return timing.ms[PART_PROFILE]; }
static double BoxOf(const Timing& timing) { return timing.ms[PART_SHOW] + timing.ms[PART_SCROLL]; }
static double ShowsOf(const Timing& timing) { return timing.ms[PART_SHOW]; }
static double ScrollOf(const Timing& timing) { return timing.ms[PART_SCROLL]; }
static double PaintOf(const Timing& timing) { return timing.ms[PART_PAINT]; }
double PauseOf(const Timing& timing) { return timing.ms[PART_PAUSE]; }
double RunsOf(const Timing& timing) { return timing.runs; }
double BetweenRunsOf(const Timing& timing) { return timing.total - timing.runs; }
double OwnWorkOf(const Timing& timing) { return timing.total - timing.ms[PART_TOOL]; }
static double RestOf(const Timing& timing)
{
    double rest = timing.total;
    for (int part = 0; part < PART_COUNT; ++part)
        rest -= timing.ms[part];
    return rest;
}
double DriverCallsOf(const Timing& timing) { return timing.calls[PART_DRIVER]; }
static double ProfileCallsOf(const Timing& timing) { return timing.calls[PART_PROFILE]; }
static double BoxCallsOf(const Timing& timing) { return timing.calls[PART_SHOW] + timing.calls[PART_SCROLL]; }

static bool g_partsShown;   // the legend of the parts follows the report
static bool g_pausesShown;

std::string OwnPartsText(const std::vector<Timing>& timings)
{
    g_partsShown = true;
    // Only a flash Load pauses; the other commands' parts are shown without it.
    std::string pauses;
    if (MedianOf(timings, PauseOf) > 0.0) {
        g_pausesShown = true;
        pauses = Format("fixed pauses %.2f ms, ", MedianOf(timings, PauseOf));
    }
    return pauses + Format("profile calls %.2f ms (%.0f calls), status box %.2f ms (%.0f calls: shows %.2f ms, scroll to the "
                  "end %.2f ms)",
                  MedianOf(timings, ProfileOf), MedianOf(timings, ProfileCallsOf), MedianOf(timings, BoxOf),
                  MedianOf(timings, BoxCallsOf), MedianOf(timings, ShowsOf), MedianOf(timings, ScrollOf)) +
           Format(", painting %.2f ms, rest %.2f ms", MedianOf(timings, PaintOf), MedianOf(timings, RestOf));
}

void NoteParts()
{
    if (!g_partsShown)
        return;
    Note("in-process parts, each a median (so they need not add up exactly), timed at this program's imports:");
    Note("  tool start and wait: CreateProcessA, WaitForSingleObject, GetExitCodeProcess, CloseHandle, and the pipe");
    Note("    of the tool's output and the wait on it and the messages: CreateNamedPipeA, CreateEventA, ReadFile,");
    Note("    GetOverlappedResult, MsgWaitForMultipleObjectsEx, PeekMessageA");
    Note("  cable driver stand-in: ordinals 70 and 72 (the stand-in reads its INI file and logs every call)");
    Note("  profile calls: GetPrivateProfileStringA, WritePrivateProfileStringA");
    Note("  status box: user32 calls on box 4009; scroll to the end: its WM_VSCROLL SB_BOTTOM, shows: all others");
    Note("  painting: the Main window painted as it stands before each tool run and pause (RedrawWindow), and what");
    Note("    is dispatched to it while the tool runs (DispatchMessageA)");
    if (g_pausesShown)
        Note("  fixed pauses: Sleep, the pauses of a flash Load after the helper and after the write");
    Note("  rest: everything else (window size and position, buttons, file check, Recent-file combo box, log text)");
}

Timing g_initTiming;

// The Main window's procedure, with its initialisation (the start-up's own work) taken apart.
static INT_PTR CALLBACK ClockedMainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return MainDialogProc(window, message, wParam, lParam);
    g_clockedWindow = window;
    g_clockedBox = GetDlgItem(window, IDC_STATUS);
    g_clock = Timing();
    g_clockRunning = true;
    double started = NowMs();
    INT_PTR result = MainDialogProc(window, message, wParam, lParam);
    g_clock.total = NowMs() - started;
    g_clockRunning = false;
    g_initTiming = g_clock;
    return result;
}

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
