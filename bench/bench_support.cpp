// What every measurement of the bench driver shares: the clock, reporting, files, child processes and their windows.
#include "bench/bench_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "res/resource.h"

static const char kMainClass[] = "VLR_LoadClass";   // the loader's window class, registered by the bare dialog too

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

void Fail(const std::string& what)
{
    std::printf("bench failed: %s\n", what.c_str());
    ExitProcess(2);
}

void Report(const char* name, double value, const char* unit, const char* targetText, bool holds)
{
    // Ratios get a third decimal, so that a figure just above its target does not print as the target.
    char figure[32];
    std::snprintf(figure, sizeof figure, *unit == '\0' ? "%.3f" : "%.2f%s", value, unit);
    std::printf("%-30s %10s   (target %s)   %s\n", name, figure, targetText, holds ? "holds" : "misses");
}

void ReportVoid(const char* name, const char* targetText)
{
    std::printf("%-30s %10s   (target %s)   %s\n", name, "void", targetText, "void");
}

void Note(const std::string& text)
{
    std::printf("    %s\n", text.c_str());
}

std::string Format(const char* format, double a, double b, double c, double d, double e, double f)
{
    char text[512];
    std::snprintf(text, sizeof text, format, a, b, c, d, e, f);
    return text;
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

void CopyInto(const std::string& fromDir, const std::string& dir, const char* name)
{
    if (!CopyFileA((fromDir + name).c_str(), (dir + name).c_str(), FALSE))
        Fail("cannot copy " + fromDir + name);
}

struct WindowSearch {
    DWORD pid;
    const char* className;
    HWND found;
};

static BOOL CALLBACK MatchWindow(HWND window, LPARAM data)
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

bool EndsWith(const std::string& text, const char* tail)
{
    size_t length = std::strlen(tail);
    return text.size() >= length && text.compare(text.size() - length, length, tail) == 0;
}

HWND FindProcessWindow(DWORD pid, const char* className)
{
    WindowSearch search = { pid, className, NULL };
    EnumWindows(MatchWindow, (LPARAM)&search);
    return search.found;
}

void StartChild(const std::string& commandLine, const std::string& dir, Child* child)
{
    std::string line = commandLine;   // CreateProcessA may write into it
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    *child = Child();
    if (!CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, dir.c_str(), &startup, &child->info))
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
}

Child StartBareToolRunner(const std::string& dir, const std::string& arguments)
{
    Child runner;
    StartChild("\"" + dir + "bare_tool_runner.exe\" " + arguments, dir, &runner);
    double started = NowMs();
    while ((runner.window = FindProcessWindow(runner.info.dwProcessId, "BareToolRunner")) == NULL) {
        if (NowMs() - started > 30000)
            Fail("the bare tool runner shows no window");
        Sleep(1);
    }
    return runner;
}

// From just before CreateProcessA until the status box of the program's window reports the cable
// detection; the child is left running.
double TimeStartUp(const std::string& exe, const std::string& dir, Child* child)
{
    double started = NowMs();
    StartChild("\"" + exe + "\"", dir, child);
    for (;;) {
        HWND window = FindProcessWindow(child->info.dwProcessId, kMainClass);
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

// The command's time is until the program answers; it then paints what the command changed, which
// is waited for here, so that the painting does not fall into whatever is timed next.
double TimeCommand(const Child& child, int id)
{
    HWND control = GetDlgItem(child.window, id);
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
