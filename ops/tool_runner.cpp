// Runs the programming tool once, hidden, reads what it prints and keeps the window answering until its end.
#include "tool_runner.h"

#include <stddef.h>

#include "command_cycle.h"
#include "command_lines.h"
#include "status_log.h"
#include "tool_output.h"
#include "../app/loader_state.h"
#include "../app/text_util.h"
#include "../device/tool_console.h"

enum {
    OUTPUT_CHUNK = 4096,
    PROGRESS_INTERVAL_MS = 100,   // the box shows the tool's progress at most ten times a second
    SERVICE_INTERVAL_MS = 100,    // the run is serviced at least this often, whatever loop holds the thread
    SERVICE_SLICE_MS = 50,        // the longest one service reads, so that the window stays answering
    DRAIN_QUIET_MS = 200,         // after the tool's end: what it left in the pipe, unless nothing comes
    DRAIN_LONGEST_MS = 2000,      // then what the tool started and left behind is ended, should it keep the pipe open
    WAIT_SLICE_MS = 20,           // a wait that cannot take the window's messages comes back for them this often
    TRICKLE_HOLD_MS = 20,         // output that comes a few bytes at a time is taken this often, not at every write
    ATTRIBUTE_LIST_CAPACITY = 256
};

// The exit code of a program ended by Ctrl+C, as Windows gives it to a console program.
static const DWORD kStoppedExitCode = 0xC000013A;

// Every kind of message wakes the wait, as far as Windows 7 knows them: it refuses the whole call for a flag
// it lacks. QS_ALLINPUT holds Windows 8's QS_TOUCH and QS_POINTER in a build for a later Windows, so the
// mask is spelt out rather than taken from it.
static const DWORD kWakeMask = QS_KEY | QS_MOUSE | QS_RAWINPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE;
#if _WIN32_WINNT <= 0x0601
static_assert(kWakeMask == QS_ALLINPUT, "the wait wakes for every message Windows 7 has");
#endif

// One run of the tool while it lasts: the program's end of the pipe, the tool and its job, what was read.
struct ToolRun {
    HWND window;
    HANDLE process;
    HANDLE job;                   // ends the tool with the program, however that ends; NULL where none could be had
    HANDLE pipe;
    OVERLAPPED overlapped;
    char chunk[OUTPUT_CHUNK];
    ToolOutput output;
    BOOL pipeOpen;                // the tool may still write: not every writer has closed its end
    BOOL reading;                 // a read into chunk is under way
    BOOL running;                 // the tool has not ended yet
    BOOL disconnected;            // reading stopped while the tool ran, so its writes fail rather than block
    BOOL stopped;                 // ended by Ctrl+C
    BOOL leftoversEnded;          // what the tool left running was ended, so that its output comes to an end
    BOOL servicing;               // a service is under way: the timer must not enter it again
    BOOL hinted;                  // the log said how to stop the tool
    DWORD progressShownAt, endedAt, lastReadAt;
    DWORD lastTaken;              // bytes the latest service took
};

// The pipe that carries the tool's standard output and error: the program reads one end, overlapped,
// so that it can wait on it together with the tool and the window's messages; the tool gets the other.
struct ToolPipe {
    HANDLE read;
    HANDLE write;
};

#define TOOL_PIPE_PREFIX "\\\\.\\pipe\\VLR Loader tool output "
enum { TOOL_PIPE_NAME_CAPACITY = 64 };
static_assert(sizeof TOOL_PIPE_PREFIX + 2 * NUMBER_TEXT_CAPACITY <= TOOL_PIPE_NAME_CAPACITY,
              "the pipe's name holds its prefix and both numbers");

static BOOL OpenToolPipe(ToolPipe* pipe)
{
    char name[TOOL_PIPE_NAME_CAPACITY] = TOOL_PIPE_PREFIX;
    char number[NUMBER_TEXT_CAPACITY];
    IntToDecimal((long)GetCurrentProcessId(), number, sizeof number);
    AppendText(name, sizeof name, number);
    AppendText(name, sizeof name, " ");
    IntToDecimal((long)(GetTickCount() & 0x7FFFFFFF), number, sizeof number);
    AppendText(name, sizeof name, number);
    pipe->read = CreateNamedPipeA(name, PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                                  PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 65536, 0, NULL);
    if (pipe->read == INVALID_HANDLE_VALUE)
        return FALSE;
    SECURITY_ATTRIBUTES inherited = { sizeof inherited, NULL, TRUE };
    pipe->write = CreateFileA(name, GENERIC_WRITE, 0, &inherited, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (pipe->write == INVALID_HANDLE_VALUE) {
        CloseHandle(pipe->read);
        return FALSE;
    }
    return TRUE;
}

// Looked up at run time (Vista and later), typed from the platform's own declarations so that the
// calling convention of the 32-bit build cannot differ from the functions'.
typedef decltype(&InitializeProcThreadAttributeList) InitializeAttributes;
typedef decltype(&UpdateProcThreadAttribute) UpdateAttribute;
typedef decltype(&DeleteProcThreadAttributeList) DeleteAttributes;
// The extended record is the plain one followed by the attribute list, the layout CreateProcessA reads
// when EXTENDED_STARTUPINFO_PRESENT is given.
static_assert(offsetof(STARTUPINFOEXA, lpAttributeList) == sizeof(STARTUPINFOA), "STARTUPINFOEXA layout");
static_assert(sizeof(STARTUPINFOA) == (sizeof(void*) == 4 ? 68 : 104), "STARTUPINFOA as the platform defines it");

// Room for the attribute list that names the one handle the tool may inherit.
struct InheritList {
    union {
        ULONG_PTR align;
        BYTE bytes[ATTRIBUTE_LIST_CAPACITY];
    } room;
    HANDLE handle;
    DeleteAttributes remove;
};

// The tool inherits the pipe's write end and no other handle of the program. Windows before Vista
// cannot name it; there only the handles marked inheritable go, and the program marks no other.
static BOOL LimitInheritance(STARTUPINFOEXA* startup, InheritList* list, HANDLE handle)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    InitializeAttributes initialize =
        (InitializeAttributes)(void*)GetProcAddress(kernel, "InitializeProcThreadAttributeList");
    UpdateAttribute update = (UpdateAttribute)(void*)GetProcAddress(kernel, "UpdateProcThreadAttribute");
    list->remove = (DeleteAttributes)(void*)GetProcAddress(kernel, "DeleteProcThreadAttributeList");
    list->handle = handle;
    SIZE_T size = 0;
    if (initialize == NULL || update == NULL || list->remove == NULL)
        return FALSE;
    initialize(NULL, 1, 0, &size);
    if (size == 0 || size > sizeof list->room.bytes)
        return FALSE;
    LPPROC_THREAD_ATTRIBUTE_LIST attributes = (LPPROC_THREAD_ATTRIBUTE_LIST)list->room.bytes;
    if (!initialize(attributes, 1, 0, &size))
        return FALSE;
    if (!update(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &list->handle, sizeof list->handle, NULL, NULL)) {
        list->remove(attributes);
        return FALSE;
    }
    startup->lpAttributeList = attributes;
    return TRUE;
}

// The tool ends with the program, also when the program is ended from Task Manager or crashes: the job
// dies with the program's last handle to it and takes the tool along. Before Windows 8 a child that is
// still in its parent's job cannot be put into another (BreakawayFromJob): the tool then runs without one.
static HANDLE JoinKillOnCloseJob(HANDLE process)
{
    HANDLE job = CreateJobObjectA(NULL, NULL);
    if (job == NULL)
        return NULL;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits) &&
        AssignProcessToJobObject(job, process))
        return job;
    CloseHandle(job);
    return NULL;
}
static_assert(sizeof(JOBOBJECT_EXTENDED_LIMIT_INFORMATION) == (sizeof(void*) == 4 ? 112 : 144),
              "JOBOBJECT_EXTENDED_LIMIT_INFORMATION as the platform defines it");

// Before Windows 8 the tool can join its own job only when it leaves the program's as it starts, and Explorer
// starts a program without a manifest inside a job of the Program Compatibility Assistant. Leaving must be
// allowed by that job; a job that lets children leave silently needs no asking, and one that cannot be
// asked about is asked all the same, since a start refused for it is made again without.
static DWORD BreakawayFromJob(void)
{
    BOOL inJob = FALSE;
    if (!IsProcessInJob(GetCurrentProcess(), NULL, &inJob) || !inJob)
        return 0;
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    if (!QueryInformationJobObject(NULL, JobObjectExtendedLimitInformation, &limits, sizeof limits, NULL))
        return CREATE_BREAKAWAY_FROM_JOB;
    DWORD allowed = limits.BasicLimitInformation.LimitFlags;
    return (allowed & JOB_OBJECT_LIMIT_BREAKAWAY_OK) && !(allowed & JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK)
        ? CREATE_BREAKAWAY_FROM_JOB : 0;
}

// Starts the tool suspended, puts it into its job, then lets it run: it never runs outside the job.
// No console window on any Windows: the output goes through the pipe, and no terminal is handed anything.
static BOOL StartTool(const char* commandLine, HANDLE output, PROCESS_INFORMATION* process, HANDLE* job)
{
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = NULL;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    InheritList list;
    DWORD flags = IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_SUSPENDED;
    if (LimitInheritance(&startup, &list, output)) {
        startup.StartupInfo.cb = sizeof startup;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    // CreateProcessA may write into the command line, so each start gets a copy of its own.
    char line[COMMAND_LINE_CAPACITY];
    CopyText(line, sizeof line, commandLine);
    DWORD breakaway = BreakawayFromJob();
    BOOL started = CreateProcessA(NULL, line, NULL, NULL, TRUE, flags | breakaway, NULL, NULL, &startup.StartupInfo, process);
    if (!started && breakaway != 0 && GetLastError() == ERROR_ACCESS_DENIED) {
        // Leaving was refused after all: the tool runs in the program's job, and without one of its own before Windows 8.
        CopyText(line, sizeof line, commandLine);
        started = CreateProcessA(NULL, line, NULL, NULL, TRUE, flags, NULL, NULL, &startup.StartupInfo, process);
    }
    if (startup.lpAttributeList != NULL)
        list.remove(startup.lpAttributeList);
    if (!started)
        return FALSE;
    *job = JoinKillOnCloseJob(process->hProcess);
    ResumeThread(process->hThread);
    CloseHandle(process->hThread);
    return TRUE;
}

// What was read goes to the reader and to the XC3SProg Console, exactly as the tool wrote it.
static void TakeOutput(ToolRun* run, DWORD size)
{
    ReadToolOutput(&run->output, run->chunk, size);
    AppendToolConsole(run->window, run->chunk, size);
}

// Takes what the pipe holds now, without waiting; stops after a slice, so that a flood of output
// leaves the window its turn. It leaves a read standing while the pipe is open, so that the wait wakes
// when more comes.
static void ReadWaitingOutput(ToolRun* run)
{
    DWORD began = GetTickCount();
    run->lastTaken = 0;
    while (run->pipeOpen) {
        if (!run->reading) {
            run->reading = ReadFile(run->pipe, run->chunk, sizeof run->chunk, NULL, &run->overlapped) ||
                           GetLastError() == ERROR_IO_PENDING;
            run->pipeOpen = run->reading;  // otherwise every writer has closed its end: the output is complete
            if (!run->reading)
                break;
        }
        if (GetTickCount() - began >= SERVICE_SLICE_MS)
            break;
        DWORD size = 0;
        if (!GetOverlappedResult(run->pipe, &run->overlapped, &size, FALSE)) {
            if (GetLastError() == ERROR_IO_INCOMPLETE)
                break;  // nothing more for now
            run->reading = run->pipeOpen = FALSE;
            break;
        }
        run->reading = FALSE;
        TakeOutput(run, size);
        run->lastTaken += size;
        run->lastReadAt = GetTickCount();
    }
}

// Everything the run needs done now: the output read, the tool's end noticed, the progress and the
// XC3SProg Console brought up to date. Called from the wait and from a timer, so that it goes on while
// a loop of the platform's holds the thread (a move, a menu, a scroll bar held down). TRUE when the run is
// over: the tool has ended and its output is read to the end.
static BOOL ServiceToolRun(ToolRun* run)
{
    if (run->servicing)
        return FALSE;
    run->servicing = TRUE;
    // Output first: what waits in the pipe is taken before the tool's end is noticed.
    ReadWaitingOutput(run);
    // A tool must never wait on a pipe that nobody reads: once reading has stopped, its writes fail.
    if (!run->pipeOpen && run->running && !run->disconnected)
        run->disconnected = DisconnectNamedPipe(run->pipe);
    if (run->running && WaitForSingleObject(run->process, 0) != WAIT_TIMEOUT) {
        run->running = FALSE;
        run->endedAt = run->lastReadAt = GetTickCount();
    }
    DWORD now = GetTickCount();
    if (run->output.progressChanged && now - run->progressShownAt >= PROGRESS_INTERVAL_MS) {
        ShowStatusProgress(run->window, ToolProgressLine(&run->output));
        run->output.progressChanged = 0;
        run->progressShownAt = now;
    }
    FlushToolConsole(run->window, FALSE);
    // Output that still comes after the tool's end is read to its end: the quiet is measured from the last
    // read, so that a slow machine's own work on a flood never counts as quiet. Only something the tool left
    // running can keep it coming; after a while that is ended with the job (nothing in it can leave it), or,
    // without a job, no longer waited for.
    BOOL over = !run->running && (!run->pipeOpen || now - run->lastReadAt >= DRAIN_QUIET_MS);
    if (!over && !run->running && !run->leftoversEnded && now - run->endedAt >= DRAIN_LONGEST_MS) {
        run->leftoversEnded = TRUE;
        over = run->job == NULL || !TerminateJobObject(run->job, kStoppedExitCode);
    }
    run->servicing = FALSE;
    return over;
}

static void CALLBACK ServiceOnTimer(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_state.toolRun != NULL)
        ServiceToolRun(g_state.toolRun);
}

// How long the wait may sleep: until a progress update or the end of the drain falls due.
static DWORD NextServiceDue(const ToolRun* run)
{
    DWORD now = GetTickCount(), timeout = INFINITE;
    if (run->output.progressChanged)
        timeout = now - run->progressShownAt >= PROGRESS_INTERVAL_MS ? 0 : PROGRESS_INTERVAL_MS - (now - run->progressShownAt);
    if (!run->running && timeout > DRAIN_QUIET_MS)
        timeout = DRAIN_QUIET_MS;
    return timeout;
}

// A wait that the platform refused (an argument it does not know) must still leave the run watched: the
// window's messages are taken, and the pipe and the tool waited on, a slice at a time; if even that wait
// is refused, the slice is slept.
static void WaitInSlices(ToolRun* run, DWORD count, const HANDLE* handles, DWORD timeout)
{
    TakeMessagesDuringCommand(run->window);
    if (timeout > WAIT_SLICE_MS)
        timeout = WAIT_SLICE_MS;
    if (count == 0 || WaitForMultipleObjects(count, handles, FALSE, timeout) == WAIT_FAILED)
        Sleep(timeout);
}

// Waits until the run is over, taking the window's messages meanwhile; sleeps until the pipe, the tool
// or the queue has something, or a service falls due, so that waiting costs nothing. A tool that shows its
// progress writes a few bytes at a time, thousands of times in a flash write: while it runs, output that
// trickles in waits a moment in the pipe, to be taken with what follows it, since the box shows progress only
// ten times a second and waking at every write took the CPU the tool itself runs on. Output that pours in, and
// the output after the tool's end, is taken as it comes; the pipe holds far more than a moment's trickle.
static void WatchTool(ToolRun* run)
{
    for (;;) {
        if (ServiceToolRun(run))
            break;
        HANDLE handles[2];
        DWORD count = 0;
        BOOL trickling = run->running && run->lastTaken > 0 && run->lastTaken < OUTPUT_CHUNK;
        if (run->reading && !trickling)
            handles[count++] = run->overlapped.hEvent;
        if (run->running)
            handles[count++] = run->process;
        DWORD timeout = NextServiceDue(run);
        if (run->reading && trickling && timeout > TRICKLE_HOLD_MS)
            timeout = TRICKLE_HOLD_MS;
        DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, timeout, kWakeMask, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 + count)
            TakeMessagesDuringCommand(run->window);
        else if (woke == WAIT_FAILED)
            WaitInSlices(run, count, handles, timeout);
    }
    if (run->reading) {
        // The buffer must outlive the read: cancelled, and its end awaited, before the run's record goes.
        DWORD size = 0;
        CancelIo(run->pipe);
        GetOverlappedResult(run->pipe, &run->overlapped, &size, TRUE);
        run->reading = FALSE;
    }
}

BOOL ProgrammingToolRunning(void)
{
    ToolRun* run = g_state.toolRun;
    return run != NULL && run->running && !run->stopped && WaitForSingleObject(run->process, 0) == WAIT_TIMEOUT;
}

void StopProgrammingTool(void)
{
    ToolRun* run = g_state.toolRun;
    // A tool that has just ended, not yet noticed, has nothing left to stop: its own end stands.
    if (!ProgrammingToolRunning())
        return;
    run->stopped = TRUE;
    // The job holds whatever the tool started too; without one, the tool alone can be ended.
    if (run->job == NULL || !TerminateJobObject(run->job, kStoppedExitCode))
        TerminateProcess(run->process, kStoppedExitCode);
}

void ShowHowToStopTool(HWND window)
{
    ToolRun* run = g_state.toolRun;
    if (run == NULL || !run->running)
        return;
    // Where the hint points: in view and in front, also when it was minimised or behind other windows.
    OpenToolConsole(window);
    if (g_state.consoleWindow != NULL)
        SetForegroundWindow(g_state.consoleWindow);
    if (run->hinted)
        return;
    run->hinted = TRUE;
    GrowStatusLog(LOG_STEP_LINE);
    AppendStatusLog(TOOL_STOP_HINT);
    // The log goes where the progress line stood; the progress comes back after it at its next update.
    BOOL progressShown = g_state.progressShown > 0;
    ShowStatusLogAtEnd(window);
    if (progressShown)
        run->output.progressChanged = 1;
}

// The runner's own line: done, stopped, or why the run failed, the exit code and the tool's own words.
static int ReportEnd(DWORD exitCode, const ToolRun* run)
{
    const ToolOutput* output = &run->output;
    if (run->stopped) {
        AppendStatusLog("XC3SProg stopped.\r\n");
        return TOOL_FAILED;
    }
    BOOL said = ToolOutputFailed(output);
    if (exitCode == 0 && !said) {
        AppendStatusLog("XC3SProg done.\r\n");
        return TOOL_OK;
    }
    // The tool's words need more room than the run's own step leaves.
    if (said)
        GrowStatusLog(LOG_STEP_LINE);
    if (exitCode != 0) {
        char number[NUMBER_TEXT_CAPACITY];
        IntToDecimal((long)(int)exitCode, number, sizeof number);
        AppendStatusLog("XC3SProg failed with exit code ");
        AppendStatusLog(number);
        AppendStatusLog(said ? ": " : ".");
    } else {
        AppendStatusLog("XC3SProg failed: ");
    }
    if (said)
        AppendStatusLog(output->reason);
    AppendStatusLog("\r\n");
    return TOOL_FAILED;
}

int RunProgrammingTool(HWND window, const char* commandLine)
{
    GrowStatusLog(LOG_STEP_LINE);
    AppendStatusLog("XC3SProg processing.\r\n");
    ShowCommandProgress(window);

    ToolPipe pipe;
    PROCESS_INFORMATION process = {};
    HANDLE job = NULL;
    BOOL piped = OpenToolPipe(&pipe);
    if (!piped || !StartTool(commandLine, pipe.write, &process, &job)) {
        if (piped) {
            CloseHandle(pipe.write);
            CloseHandle(pipe.read);
        }
        AppendStatusLog("Run XC3SProg failed!\r\n");
        ShowStatusLogAtEnd(window);
        return TOOL_NOT_STARTED;
    }
    // Only the tool holds the write end now, so the output ends when the tool does.
    CloseHandle(pipe.write);

    ToolRun run = {};
    run.window = window;
    run.process = process.hProcess;
    run.job = job;
    run.pipe = pipe.read;
    run.overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    run.pipeOpen = run.overlapped.hEvent != NULL;
    run.running = TRUE;
    // A run too short to watch ends before its progress would first show.
    run.progressShownAt = GetTickCount();
    StartToolOutput(&run.output);
    g_state.toolRun = &run;
    UINT_PTR timer = SetTimer(NULL, 0, SERVICE_INTERVAL_MS, ServiceOnTimer);
    WatchTool(&run);
    if (timer != 0)
        KillTimer(NULL, timer);
    g_state.toolRun = NULL;
    // A last line without a line end (a tool stopped or cut off mid-line) is a line too.
    EndToolOutput(&run.output);
    if (run.stopped)
        MarkToolConsoleStopped(window);
    else
        FlushToolConsole(window, TRUE);

    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = (DWORD)-1;
    CloseHandle(process.hProcess);
    // Whatever the tool started and left behind ends here.
    if (job != NULL)
        CloseHandle(job);
    CloseHandle(pipe.read);
    if (run.overlapped.hEvent != NULL)
        CloseHandle(run.overlapped.hEvent);

    // The box goes on showing the log's end, where the progress stood, until the command ends.
    int result = ReportEnd(exitCode, &run);
    ShowStatusLogAtEnd(window);
    return result;
}
