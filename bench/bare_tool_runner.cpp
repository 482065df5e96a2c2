// Yardstick for one tool run: a windowed program without console that starts the tool as the loader does.
#include <windows.h>

enum { RUN_TOOL = WM_APP + 1 };

static char g_commandLine[1200];

// The loader's way, without anything around it: hidden, without a console window, idle priority, started
// suspended into a job that ends it with its last handle, its output and errors into a pipe (which holds the
// little that the tool prints until it has ended), waited for and its output read to the end, handles closed.
// (Under Wine the end of the output of a program without a console window comes some 50 ms after the program
// has ended, when the hidden console host that Wine gives it goes: the loader waits for that end too.)
// FALSE when the platform refused to start the tool.
static BOOL RunToolOnce(void)
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
    char line[sizeof g_commandLine];
    lstrcpyA(line, g_commandLine);
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
        WaitForSingleObject(process.hProcess, INFINITE);
        char output[4096];
        DWORD size;
        while (ReadFile(read, output, sizeof output, &size, NULL) && size > 0)
            ;
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        if (job != NULL)
            CloseHandle(job);
    }
    CloseHandle(read);
    return started;
}

static LRESULT CALLBACK RunnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The answer tells the bench whether this run counts: 1 started, 0 refused.
    if (message == RUN_TOOL)
        return RunToolOnce() ? 1 : 0;
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

// Everything after the program's own name, which the bench quotes, is the tool's command line.
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
    lstrcpynA(g_commandLine, ArgumentText(GetCommandLineA()), sizeof g_commandLine);
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
