// Yardstick for tool runs: a windowed program without console that starts the tool as the loader does.
#include <windows.h>

enum { RUN_TOOL = WM_APP + 1, LINE_CAPACITY = 1200 };

// The tool's command lines, separated by '|', which no Windows path can hold.
static char g_commandLines[4 * LINE_CAPACITY];

// The loader's way, without anything around it: hidden, without a console window, idle priority, started
// suspended into a job that ends it with its last handle, its output and errors into a pipe, read to its end
// (the real tool prints more than a pipe holds, so it is read while it runs), waited for, handles closed.
// (Under Wine the end of the output of a program without a console window comes some 50 ms after the program
// has ended, when the hidden console host that Wine gives it goes: the loader waits for that end too.)
// FALSE when the platform refused to start the tool.
static BOOL RunToolOnce(const char* commandLine)
{
    SECURITY_ATTRIBUTES inherited = { sizeof inherited, NULL, TRUE };
    HANDLE read, write;
    if (!CreatePipe(&read, &write, &inherited, 65536))
        return FALSE;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = startup.hStdError = write;
    PROCESS_INFORMATION process = {};
    char line[LINE_CAPACITY];
    lstrcpynA(line, commandLine, sizeof line);
    BOOL started = CreateProcessA(NULL, line, NULL, NULL, TRUE, IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_SUSPENDED,
                                  NULL, NULL, &startup, &process);
    CloseHandle(write);
    if (started) {
        HANDLE job = CreateJobObjectA(NULL, NULL);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (job != NULL)
            SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
                AssignProcessToJobObject(job, process.hProcess);
        ResumeThread(process.hThread);
        char output[4096];
        DWORD size;
        while (ReadFile(read, output, sizeof output, &size, NULL) && size > 0)
            ;
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        if (job != NULL)
            CloseHandle(job);
    }
    CloseHandle(read);
    return started;
}

// The lines one after the other, each after the one before has ended, as the loader runs a Load's steps.
static BOOL RunToolLines(void)
{
    BOOL allStarted = TRUE;
    for (const char* line = g_commandLines;;) {
        const char* bar = line;
        while (*bar != '\0' && *bar != '|')
            ++bar;
        char one[LINE_CAPACITY];
        INT_PTR length = bar - line;
        if (length >= (INT_PTR)sizeof one)
            return FALSE;
        lstrcpynA(one, line, (int)length + 1);
        allStarted = RunToolOnce(one) && allStarted;
        if (*bar == '\0')
            return allStarted;
        line = bar + 1;
    }
}

static LRESULT CALLBACK RunnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The answer tells the bench whether the runs count: 1 every one started, 0 one was refused.
    if (message == RUN_TOOL)
        return RunToolLines() ? 1 : 0;
    if (message == WM_CLOSE) {
        DestroyWindow(window);
        return 0;
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Everything after the program's own name, which the bench quotes, is the tool's command lines.
static const char* ArgumentText(const char* line)
{
    ++line;
    while (*line != '\0' && *line != '"')
        ++line;
    if (*line == '"')
        ++line;
    while (*line == ' ')
        ++line;
    return line;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    lstrcpynA(g_commandLines, ArgumentText(GetCommandLineA()), sizeof g_commandLines);
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = RunnerProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "BareToolRunner";
    if (!RegisterClassA(&windowClass))
        return 1;
    // Hidden: the bench finds it by process and class and sends it RUN_TOOL.
    if (CreateWindowA("BareToolRunner", "", WS_OVERLAPPED, 0, 0, 10, 10, NULL, NULL, instance, NULL) == NULL)
        return 1;
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
