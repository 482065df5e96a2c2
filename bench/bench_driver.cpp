// Bench driver: times the loader against bare platform programs and calls, interleaved, and prints the figures.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/loader_state.h"
#include "app/recent_files.h"
#include "res/resource.h"

namespace {

const int kStartRuns = 15;
const int kToolRuns = 30;
const int kPushBatches = 40;
const int kPushesPerBatch = 5;
const int kLongLoads = 1000;
const UINT kRunTool = WM_APP + 1;   // what bare_tool_runner answers with one tool run

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
    std::printf("%-28s %10s   (target %s)   %s\n", name, figure, targetText, holds ? "holds" : "misses");
    std::fflush(stdout);
}

void Note(const std::string& text)
{
    std::printf("    %s\n", text.c_str());
    std::fflush(stdout);
}

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0)
{
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
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
    CopyInto(benchDir + "bare_tool_runner.exe", layout.dir, "bare_tool_runner.exe");
    WriteText(layout.dir + "ftd2xx-standin.ini", "[Driver]\r\nCount=1\r\nDescription0=Vellora USB JTAG Cable\r\n");
    layout.loader = layout.dir + "VLR Loader.exe";
    layout.bareDialog = layout.dir + "bare_dialog.exe";
    layout.bareRunner = layout.dir + "bare_tool_runner.exe";
    layout.bitstream = layout.dir + "sample.bit";
    WriteText(layout.bitstream, std::string(4096, '\x5a'));
    return layout;
}

void MeasureStartUp(const Layout& layout)
{
    std::vector<double> loaderMs;
    std::vector<double> bareMs;
    Child child;
    // Warm-up: the first starts fill Wine's caches and create the Settings file.
    for (int i = 0; i < 2; ++i) {
        TimeStartUp(layout.loader, layout.dir, "VLR_LoadClass", &child);
        CloseChild(&child);
        TimeStartUp(layout.bareDialog, layout.dir, "#32770", &child);
        CloseChild(&child);
    }
    for (int i = 0; i < kStartRuns; ++i) {
        for (int side = 0; side < 2; ++side) {
            bool loaderSide = (side + i) % 2 == 0;
            double ms = loaderSide ? TimeStartUp(layout.loader, layout.dir, "VLR_LoadClass", &child)
                                   : TimeStartUp(layout.bareDialog, layout.dir, "#32770", &child);
            (loaderSide ? loaderMs : bareMs).push_back(ms);
            CloseChild(&child);
        }
    }
    double loader = Median(loaderMs);
    double bare = Median(bareMs);
    Report("start-up ratio", loader / bare, "", "<= 1.3", loader / bare <= 1.3);
    Note(Format("loader %.1f ms, bare dialog %.1f ms (medians of %.0f runs each)", loader, bare, kStartRuns));
}

// A loader whose Main window is initialised and whose bitstream combo box names the bench file.
Child StartLoaderForLoads(const Layout& layout)
{
    Child loader;
    TimeStartUp(layout.loader, layout.dir, "VLR_LoadClass", &loader);
    if (!IsWindowEnabled(GetDlgItem(loader.window, IDC_LOAD)))
        Fail("Load is disabled in the loader");
    SendMessageA(GetDlgItem(loader.window, IDC_BITSTREAM_COMBO), WM_SETTEXT, 0, (LPARAM)layout.bitstream.c_str());
    return loader;
}

double TimeLoad(HWND window, HWND loadButton)
{
    double started = NowMs();
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_LOAD, BN_CLICKED), (LPARAM)loadButton);
    return NowMs() - started;
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

void CheckLastLoad(HWND window, const Layout& layout, size_t runsBefore, size_t expectedRuns)
{
    static const std::string kDone = "sample.bit loaded into FPGA\r\n";
    std::string log = StatusText(window);
    if (log.size() < kDone.size() || log.compare(log.size() - kDone.size(), std::string::npos, kDone) != 0)
        Fail("the loader's status box does not end with a successful Load");
    if (CountToolRuns(layout.dir) - runsBefore != expectedRuns)
        Fail("the tool stand-in did not run as often as expected");
}

void MeasureToolRun(const Layout& layout)
{
    Child loader = StartLoaderForLoads(layout);
    HWND loadButton = GetDlgItem(loader.window, IDC_LOAD);

    Child runner;
    StartChild("\"" + layout.bareRunner + "\" xc3sprog.exe -c ftdi -v \"" + layout.bitstream + "\":w", layout.dir,
               &runner);
    double started = NowMs();
    while ((runner.window = FindProcessWindow(runner.info.dwProcessId, "BareToolRunner")) == NULL) {
        if (NowMs() - started > 30000)
            Fail("the bare tool runner shows no window");
        Sleep(1);
    }

    size_t runsBefore = CountToolRuns(layout.dir);
    for (int i = 0; i < 3; ++i) {
        TimeLoad(loader.window, loadButton);
        SendMessageA(runner.window, kRunTool, 0, 0);
    }
    std::vector<double> loaderMs;
    std::vector<double> bareMs;
    for (int i = 0; i < kToolRuns; ++i) {
        for (int side = 0; side < 2; ++side) {
            if ((side + i) % 2 == 0) {
                loaderMs.push_back(TimeLoad(loader.window, loadButton));
            } else {
                double runStarted = NowMs();
                SendMessageA(runner.window, kRunTool, 0, 0);
                bareMs.push_back(NowMs() - runStarted);
            }
        }
    }
    CheckLastLoad(loader.window, layout, runsBefore, 2 * (3 + kToolRuns));
    CloseChild(&runner);
    CloseChild(&loader);

    double load = Median(loaderMs);
    double bare = Median(bareMs);
    Report("tool-run ratio", load / bare, "", "<= 1.1", load / bare <= 1.1);
    Report("tool-run difference", load - bare, " ms", "< 5 ms", load - bare < 5.0);
    Note(Format("Load into the FPGA %.2f ms, bare CreateProcessA + wait %.2f ms (medians of %.0f runs each)", load,
                bare, kToolRuns));
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
    for (int batch = -1; batch < kPushBatches; ++batch) {   // batch -1 warms up
        for (int side = 0; side < 2; ++side) {
            bool loaderSide = (side + batch + 1) % 2 == 0;
            for (int i = 0; i < kPushesPerBatch; ++i) {
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
                if (batch >= 0)
                    (loaderSide ? loaderMs : bareMs).push_back(ms);
            }
        }
    }
    // The same pushes must leave the same list, or the bare side did not do the program's work.
    if (ReadText(loaderIni) != ReadText(bareIni))
        Fail("the loader's and the bare Recent-file lists differ");

    double loader = Median(loaderMs);
    double bare = Median(bareMs);
    Report("recent-push ratio", loader / bare, "", "<= 1.1", loader / bare <= 1.1);
    Note(Format("PushRecentFile %.3f ms, bare profile calls %.3f ms (medians of %.0f pushes each)", loader, bare,
                kPushBatches * kPushesPerBatch));
}

void MeasureLongRun(const Layout& layout)
{
    Child loader = StartLoaderForLoads(layout);
    HWND loadButton = GetDlgItem(loader.window, IDC_LOAD);
    size_t runsBefore = CountToolRuns(layout.dir);
    std::vector<double> loadMs;
    double started = NowMs();
    for (int i = 0; i < kLongLoads; ++i)
        loadMs.push_back(TimeLoad(loader.window, loadButton));
    double total = NowMs() - started;
    CheckLastLoad(loader.window, layout, runsBefore, kLongLoads);
    size_t logLength = StatusText(loader.window).size();
    CloseChild(&loader);

    double early = Median(std::vector<double>(loadMs.begin() + 5, loadMs.begin() + 15));
    double late = Median(std::vector<double>(loadMs.end() - 10, loadMs.end()));
    Report("1000th/10th Load ratio", late / early, "", "<= 1.5", late / early <= 1.5);
    Note(Format("Loads 6-15 median %.2f ms, Loads 991-1000 median %.2f ms", early, late));
    Note(Format("total time of the 1000 Loads %.1f s; status box at the end %.0f characters", total / 1000.0,
                (double)logLength));
}

}  // namespace

// Arguments name the measurements to run (startup, tool, recent, long); none runs them all.
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
    const Measurement measurements[] = { { "startup", MeasureStartUp }, { "tool", MeasureToolRun },
                                         { "recent", MeasureRecentPush }, { "long", MeasureLongRun } };
    double started = NowMs();
    for (const Measurement& measurement : measurements) {
        bool chosen = argc < 2;
        for (int i = 1; i < argc; ++i)
            chosen = chosen || std::strcmp(argv[i], measurement.name) == 0;
        if (chosen)
            measurement.run(layout);
    }
    std::printf("bench time %.0f s\n", (NowMs() - started) / 1000.0);
    return 0;
}
