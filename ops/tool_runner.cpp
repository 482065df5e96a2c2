// Runs the programming tool once, hidden, reads what it prints and keeps the window answering until its end.
#include "tool_runner.h"

#include <stddef.h>

#include "command_cycle.h"
#include "command_lines.h"
#include "status_log.h"
#include "tool_output.h"
#include "../app/loader_state.h"
#include "../app/text_util.h"

enum {
    OUTPUT_CHUNK = 4096,
    PROGRESS_INTERVAL_MS = 100,   // the box shows the tool's progress at most ten times a second
    DRAIN_QUIET_MS = 200,         // after the tool's end: what it left in the pipe, unless nothing comes
    DRAIN_LONGEST_MS = 2000,      // and never longer, should something the tool started keep the pipe open
    ATTRIBUTE_LIST_CAPACITY = 256
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

static BOOL StartTool(const char* commandLine, HANDLE output, PROCESS_INFORMATION* process)
{
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup.StartupInfo;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = NULL;
    startup.StartupInfo.hStdOutput = output;
    startup.StartupInfo.hStdError = output;
    InheritList list;
    DWORD flags = IDLE_PRIORITY_CLASS;
    if (LimitInheritance(&startup, &list, output)) {
        startup.StartupInfo.cb = sizeof startup;
        flags |= EXTENDED_STARTUPINFO_PRESENT;
    }
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    char line[COMMAND_LINE_CAPACITY];
    CopyText(line, sizeof line, commandLine);
    BOOL started = CreateProcessA(NULL, line, NULL, NULL, TRUE, flags, NULL, NULL, &startup.StartupInfo, process);
    if (startup.lpAttributeList != NULL)
        list.remove(startup.lpAttributeList);
    return started;
}

// What was read goes to the reader and, once it exists, to the Tool console, exactly as the tool wrote it.
static void TakeOutput(ToolOutput* output, const char* bytes, DWORD size)
{
    ReadToolOutput(output, bytes, size);
    DWORD written;
    if (g_state.consoleOutput != NULL && size > 0)
        WriteFile(g_state.consoleOutput, bytes, size, &written, NULL);
}

// Waits until the tool has ended and its output is read to the end, taking the window's messages
// meanwhile; sleeps until one of the three has something, so that waiting costs nothing.
static void WatchTool(HWND window, HANDLE process, HANDLE pipe, ToolOutput* output)
{
    char chunk[OUTPUT_CHUNK];
    OVERLAPPED overlapped = {};
    overlapped.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    BOOL pipeOpen = overlapped.hEvent != NULL, reading = FALSE, running = TRUE;
    // A run too short to watch ends before its progress would first show.
    DWORD shownAt = GetTickCount(), endedAt = 0, lastReadAt = 0;
    BOOL disconnected = FALSE;
    for (;;) {
        if (pipeOpen && !reading) {
            reading = ReadFile(pipe, chunk, sizeof chunk, NULL, &overlapped) || GetLastError() == ERROR_IO_PENDING;
            pipeOpen = reading;  // otherwise every writer has closed its end: the output is complete
        }
        // A tool must never wait on a pipe that nobody reads: once reading has stopped, its writes fail.
        if (!pipeOpen && running && !disconnected)
            disconnected = DisconnectNamedPipe(pipe);
        DWORD now = GetTickCount();
        if (!running && (!reading || now - lastReadAt >= DRAIN_QUIET_MS || now - endedAt >= DRAIN_LONGEST_MS))
            break;
        DWORD timeout = INFINITE;
        if (output->progressChanged)
            timeout = now - shownAt >= PROGRESS_INTERVAL_MS ? 0 : PROGRESS_INTERVAL_MS - (now - shownAt);
        if (!running && timeout > DRAIN_QUIET_MS)
            timeout = DRAIN_QUIET_MS;
        // The pipe first: output waiting to be read is taken before the tool's end is noticed.
        HANDLE handles[2];
        DWORD count = 0;
        if (reading)
            handles[count++] = overlapped.hEvent;
        if (running)
            handles[count++] = process;
        DWORD woke = MsgWaitForMultipleObjectsEx(count, handles, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woke == WAIT_OBJECT_0 + count) {
            TakeMessagesDuringCommand();
        } else if (reading && woke == WAIT_OBJECT_0) {
            DWORD size = 0;
            reading = FALSE;
            if (GetOverlappedResult(pipe, &overlapped, &size, FALSE))
                TakeOutput(output, chunk, size);
            else
                pipeOpen = FALSE;
            lastReadAt = GetTickCount();
        } else if (running && woke == WAIT_OBJECT_0 + count - 1) {
            running = FALSE;
            endedAt = lastReadAt = GetTickCount();
        } else if (woke == WAIT_FAILED) {
            // Never seen; waiting without the window's messages, or the output, is the safe way to the tool's end.
            if (reading) {
                DWORD size = 0;
                CancelIo(pipe);
                GetOverlappedResult(pipe, &overlapped, &size, TRUE);
                reading = FALSE;
            }
            DisconnectNamedPipe(pipe);
            if (running)
                WaitForSingleObject(process, INFINITE);
            break;
        }
        if (output->progressChanged && GetTickCount() - shownAt >= PROGRESS_INTERVAL_MS) {
            ShowStatusProgress(window, ToolProgressLine(output));
            output->progressChanged = 0;
            shownAt = GetTickCount();
        }
    }
    if (reading) {
        // The buffer must outlive the read: cancelled, and its end awaited, before the function returns.
        DWORD size = 0;
        CancelIo(pipe);
        GetOverlappedResult(pipe, &overlapped, &size, TRUE);
    }
    if (overlapped.hEvent != NULL)
        CloseHandle(overlapped.hEvent);
}

// The runner's own line: done, or why the run failed, the exit code and the tool's own words.
static int ReportEnd(DWORD exitCode, const ToolOutput* output)
{
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
    BOOL piped = OpenToolPipe(&pipe);
    if (!piped || !StartTool(commandLine, pipe.write, &process)) {
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
    CloseHandle(process.hThread);

    ToolOutput output;
    StartToolOutput(&output);
    WatchTool(window, process.hProcess, pipe.read, &output);
    EndToolOutput(&output);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode))
        exitCode = (DWORD)-1;
    CloseHandle(process.hProcess);
    CloseHandle(pipe.read);

    // The box goes on showing the log's end, where the progress stood, until the command ends.
    int result = ReportEnd(exitCode, &output);
    ShowStatusLogAtEnd(window);
    return result;
}
