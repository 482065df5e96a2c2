// Shared helpers of the test programs: scratch folders, files, Settings reads, the stand-ins and the real program.
#include "test_support.h"

#include <stdio.h>

namespace testing_support {

std::string ExeDirectory()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string text(path, length);
    return text.substr(0, text.find_last_of('\\') + 1);
}

static void DeleteTree(const std::string& dir)
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(full + "\\");
            } else {
                SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(full.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(dir.c_str());
}

std::string MakeScratchDirectory(const std::string& tag)
{
    static int counter = 0;
    std::string root = ExeDirectory() + "scratch\\";
    CreateDirectoryA(root.c_str(), NULL);
    char name[64];
    snprintf(name, sizeof name, "-%lu-%d\\", GetCurrentProcessId(), ++counter);
    std::string dir = root + tag + name;
    DeleteTree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir;
}

std::string ReadFileText(const std::string& path)
{
    std::string text;
    FILE* file = fopen(path.c_str(), "rb");
    if (file == NULL)
        return text;
    char chunk[4096];
    size_t count;
    while ((count = fread(chunk, 1, sizeof chunk, file)) > 0)
        text.append(chunk, count);
    fclose(file);
    return text;
}

void WriteFileText(const std::string& path, const std::string& text)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (file == NULL)
        return;
    fwrite(text.data(), 1, text.size(), file);
    fclose(file);
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string IniRead(const std::string& path, const char* section, const char* key, const char* fallback)
{
    char value[4096];
    GetPrivateProfileStringA(section, key, fallback, value, sizeof value, path.c_str());
    return value;
}

void IniWrite(const std::string& path, const char* section, const char* key, const char* value)
{
    WritePrivateProfileStringA(section, key, value, path.c_str());
}

void ConfigureCables(const std::string& dir, int count, const std::vector<std::string>& descriptions)
{
    std::string text = "[Driver]\r\nCount=" + std::to_string(count) + "\r\n";
    for (size_t i = 0; i < descriptions.size(); ++i)
        text += "Description" + std::to_string(i) + "=" + descriptions[i] + "\r\n";
    WriteFileText(dir + "ftd2xx-standin.ini", text);
}

void ConfigureTool(const std::string& dir, const std::string& iniText)
{
    WriteFileText(dir + "xc3sprog-standin.ini", "[Tool]\r\n" + iniText);
}

std::vector<ToolCall> ReadToolCalls(const std::string& dir)
{
    std::vector<ToolCall> calls;
    std::string text = ReadFileText(dir + "xc3sprog-calls.log");
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 2;
        std::vector<std::string> fields;
        size_t start = 0;
        for (int i = 0; i < 4; ++i) {
            size_t tab = line.find('\t', start);
            if (tab == std::string::npos)
                break;
            fields.push_back(line.substr(start, tab - start));
            start = tab + 1;
        }
        if (fields.size() != 4)
            continue;
        ToolCall call;
        call.startMs = strtoull(fields[0].c_str(), NULL, 10);
        call.endMs = strtoull(fields[1].c_str(), NULL, 10);
        call.exitCode = strtol(fields[2].c_str(), NULL, 10);
        call.directory = fields[3];
        call.commandLine = line.substr(start);
        calls.push_back(call);
    }
    return calls;
}

static void CopyBeside(const std::string& from, const std::string& to)
{
    CopyFileA(from.c_str(), to.c_str(), FALSE);
}

std::string LayOutProgramDirectory(const std::string& tag, bool withTool, int cables)
{
    std::string dir = MakeScratchDirectory(tag);
    std::string build = ExeDirectory();
    CopyBeside(build + "VLR Loader.exe", dir + "VLR Loader.exe");
    CopyBeside(build + "stand-ins\\ftd2xx.dll", dir + "ftd2xx.dll");
    if (withTool)
        CopyBeside(build + "stand-ins\\xc3sprog.exe", dir + "xc3sprog.exe");
    ConfigureCables(dir, cables);
    return dir;
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
    char name[128];
    if (pid == search->pid && GetClassNameA(window, name, sizeof name) &&
        lstrcmpA(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(DWORD pid, const char* className, DWORD waitMs)
{
    DWORD started = GetTickCount();
    for (;;) {
        WindowSearch search = { pid, className, NULL };
        EnumWindows(MatchWindow, (LPARAM)&search);
        if (search.found != NULL || GetTickCount() - started >= waitMs)
            return search.found;
        Sleep(20);
    }
}

LoaderProcess StartLoader(const std::string& dir, const std::string& arguments,
                          const std::string& currentDirectory)
{
    LoaderProcess process = {};
    std::string commandLine = "\"" + dir + "VLR Loader.exe\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string cwd = currentDirectory.empty() ? dir : currentDirectory;
    if (!CreateProcessA(NULL, line.data(), NULL, NULL, FALSE, 0, NULL, cwd.c_str(), &startup,
                        &process.info))
        return process;
    process.window = FindProcessWindow(process.info.dwProcessId, "VLR_LoadClass", 15000);
    // The class exists before the initialisation ends; wait until the window is visible.
    DWORD started = GetTickCount();
    while (process.window != NULL && !IsWindowVisible(process.window) && GetTickCount() - started < 15000)
        Sleep(20);
    return process;
}

DWORD WaitForExit(LoaderProcess& process, DWORD milliseconds)
{
    DWORD code = STILL_ACTIVE;
    if (process.info.hProcess == NULL)
        return code;
    if (WaitForSingleObject(process.info.hProcess, milliseconds) != WAIT_OBJECT_0) {
        TerminateProcess(process.info.hProcess, 99);
        WaitForSingleObject(process.info.hProcess, 5000);
        return STILL_ACTIVE;
    }
    GetExitCodeProcess(process.info.hProcess, &code);
    return code;
}

void CloseLoader(LoaderProcess& process)
{
    if (process.info.hProcess == NULL)
        return;
    if (WaitForSingleObject(process.info.hProcess, 0) != WAIT_OBJECT_0) {
        if (process.window != NULL)
            PostMessageA(process.window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.info.hProcess, 5000) != WAIT_OBJECT_0) {
            TerminateProcess(process.info.hProcess, 99);
            WaitForSingleObject(process.info.hProcess, 5000);
        }
    }
    CloseHandle(process.info.hProcess);
    CloseHandle(process.info.hThread);
    process.info.hProcess = NULL;
    process.info.hThread = NULL;
}

std::string WindowText(HWND window)
{
    LRESULT length = SendMessageA(window, WM_GETTEXTLENGTH, 0, 0);
    std::vector<char> text((size_t)length + 2, '\0');
    SendMessageA(window, WM_GETTEXT, (WPARAM)text.size(), (LPARAM)text.data());
    return text.data();
}

std::string ControlText(HWND dialog, int id)
{
    return WindowText(GetDlgItem(dialog, id));
}

bool IsControlEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool IsControlVisible(HWND dialog, int id)
{
    return (GetWindowLongPtrA(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0;
}

LRESULT Command(HWND dialog, int id)
{
    return SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

}  // namespace testing_support
