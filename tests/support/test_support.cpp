// Shared helpers of the test programs: scratch folders, files, Settings reads, the stand-ins and the real program.
#include "test_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

#include <tlhelp32.h>

namespace testing_support {

std::string ExeDirectory()
{
    char path[MAX_PATH];
    std::string text(path, GetModuleFileNameA(NULL, path, sizeof path));
    return text.substr(0, text.find_last_of('\\') + 1);
}

std::string MakeScratchDirectory(const std::string& tag)
{
    // Wine reuses process ids, so a name taken by an earlier run is skipped rather than emptied.
    static int counter = 0;
    std::string root = ExeDirectory() + "scratch\\", dir;
    CreateDirectoryA(root.c_str(), NULL);
    do
        dir = root + tag + "-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter) + "\\";
    while (!CreateDirectoryA(dir.c_str(), NULL) && GetLastError() == ERROR_ALREADY_EXISTS);
    return dir;
}

std::string ReadFileText(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFileText(const std::string& path, const std::string& text)
{ std::ofstream(path, std::ios::binary) << text; }

std::string IniValues(const std::string& path, const std::vector<std::string>& keys)
{
    std::string values;
    char value[4096];
    for (const std::string& key : keys) {
        GetPrivateProfileStringA(key.substr(0, key.find('/')).c_str(), key.substr(key.find('/') + 1).c_str(), "<missing>",
                                 value, sizeof value, path.c_str());
        values += value + std::string("|");
    }
    return values.substr(0, values.size() - 1);
}

void ConfigureCables(const std::string& dir, int count, const std::vector<std::string>& descriptions)
{
    // Only [Driver] is replaced: the card's conditions in [Card] stay as the test set them.
    std::string section = "Count=" + std::to_string(count) + '\0';
    for (size_t i = 0; i < descriptions.size(); ++i)
        section += "Description" + std::to_string(i) + "=" + descriptions[i] + '\0';
    WritePrivateProfileSectionA("Driver", (section + '\0').c_str(), (dir + "simulated-card.ini").c_str());
}

std::vector<ToolCall> ReadToolCalls(const std::string& dir)
{
    // Each line: START_MS \t END_MS \t EXIT \t CWD \t CMDLINE \r\n
    std::vector<ToolCall> calls;
    std::istringstream lines(ReadFileText(dir + "xc3sprog-calls.log"));
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        ToolCall call;
        if (fields >> call.startMs >> call.endMs >> call.exitCode && fields.get() == '\t' &&
            std::getline(fields, call.directory, '\t') && std::getline(fields, call.commandLine, '\r'))
            calls.push_back(call);
    }
    return calls;
}

size_t StartedToolRuns(const std::string& dir)
{
    std::string log = ReadFileText(dir + "xc3sprog-started.log");
    return (size_t)std::count(log.begin(), log.end(), '\n');
}

bool WaitFor(const std::function<bool()>& condition, DWORD ms)
{
    for (DWORD started = GetTickCount(); !condition(); Sleep(20))
        if (GetTickCount() - started > ms)
            return false;
    return true;
}

bool WaitsForPaint(HWND window)
{
    BOOL unpainted = GetUpdateRect(window, NULL, FALSE);
    for (HWND child = GetWindow(window, GW_CHILD); child != NULL && !unpainted; child = GetWindow(child, GW_HWNDNEXT))
        unpainted = GetUpdateRect(child, NULL, FALSE);
    return unpainted != FALSE;
}

HWND FindProcessWindow(DWORD pid, const char* className, DWORD waitMs)
{
    HWND found = NULL;
    WaitFor([&] {
        DWORD owner = 0;
        while ((found = FindWindowExA(NULL, found, className, NULL)) != NULL)
            if (GetWindowThreadProcessId(found, &owner) && owner == pid && IsWindowVisible(found))
                return true;
        return false;
    }, waitMs);
    return found;
}

HANDLE OpenToolProcess(DWORD parentPid)
{
    HANDLE tool = NULL, processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(processes, &entry); more && tool == NULL; more = Process32Next(processes, &entry))
        if (entry.th32ParentProcessID == parentPid && lstrcmpiA(entry.szExeFile, "xc3sprog.exe") == 0)
            tool = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    CloseHandle(processes);
    // A process that has ended may linger in the list while a handle to it is open.
    if (tool != NULL && WaitForSingleObject(tool, 0) == WAIT_OBJECT_0) {
        CloseHandle(tool);
        tool = NULL;
    }
    return tool;
}

Session::Session(const std::string& tag, bool withTool)
    : dir(MakeScratchDirectory(tag)), ini(dir + "VLR Loader.ini"), bitstream(dir + "my designs\\top.bit")
{
    CopyFileA((ExeDirectory() + "VLR Loader.exe").c_str(), (dir + "VLR Loader.exe").c_str(), FALSE);
    CopyFileA((ExeDirectory() + "simulated-card\\ftd2xx.dll").c_str(), (dir + "ftd2xx.dll").c_str(), FALSE);
    if (withTool)
        AddTool();
    ConfigureCables(dir, 1);
    CreateDirectoryA((dir + "my designs").c_str(), NULL);
    WriteFileText(bitstream, "bits");
    for (const char* helper : { "xc3s400an.bit", "vlrext.bit" })
        WriteFileText(dir + helper, "");
}

void Session::AddTool()
{
    CopyFileA((ExeDirectory() + "stand-ins\\xc3sprog.exe").c_str(), (dir + "xc3sprog.exe").c_str(), FALSE);
}

bool Session::Start(const std::string& arguments, const std::string& currentDirectory)
{
    std::string line = "\"" + dir + exe + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // The window exists before the initialisation ends, and shows once it has ended.
    w = CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, 0, NULL, (currentDirectory.empty() ? dir : currentDirectory).c_str(),
                       &startup, &process) ? FindProcessWindow(process.dwProcessId, "VLR_LoadClass", 15000) : NULL;
    return w != NULL;
}

DWORD Session::WaitForExit(DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process.hProcess, milliseconds) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    return code;
}

void Session::Close()
{
    TerminateProcess(process.hProcess, 99);  // fails harmlessly once the loader has ended, or before a start
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    process = {};
}

HWND Session::Console(DWORD waitMs) const { return FindProcessWindow(process.dwProcessId, "VLR_ConsoleClass", waitMs); }

std::string WindowText(HWND window)
{
    std::string text((size_t)SendMessageA(window, WM_GETTEXTLENGTH, 0, 0) + 1, '\0');
    text.resize((size_t)SendMessageA(window, WM_GETTEXT, (WPARAM)text.size(), (LPARAM)&text[0]));
    return text;
}

}  // namespace testing_support
