// The real program while the tool works: it answers, paints, refuses new commands and shows the tool's
// progress; afterwards it reports what the tool said, however much that was.
#include <gtest/gtest.h>

#include <algorithm>

#include "process_cpu.h"
#include "test_support.h"

#include <psapi.h>
#include <tlhelp32.h>

using namespace testing_support;

// Posted, as a person's click would arrive; the test goes on while the Load runs.
static void PostLoad(const Session& s)
{ SetDlgItemTextA(s.w, 4003, s.bitstream.c_str()); PostCommand(s.w, 4001); }

// While the tool runs the window answers, paints, shows the progress and starts or ends nothing; afterwards it
// reports failures the tool only printed in the tool's own words, and reads floods of output to the end.
TEST(Watch, WhileTheToolRunsTheWindowAnswersAndStartsNothingAfterwardsItReportsWhatTheToolSaid)
{
    Session s("watch");
    ConfigureTool(s.dir, "Progress=\\t\\t\\tWriting data page #/80 at flash page #\r\nSteps=80\r\nStepMs=100\r\n");
    ASSERT_TRUE(s.Start());
    PostLoad(s);
    ASSERT_TRUE(WaitFor([&] { return StartedToolRuns(s.dir) == 1; }));
    DWORD started = GetTickCount();
    DWORD_PTR answer = 0;
    // It answers within a second, and paints what another window uncovered within half a second.
    EXPECT_TRUE(SendMessageTimeoutA(s.w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) && GetTickCount() - started < 1000);
    RedrawWindow(s.w, NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    EXPECT_TRUE(WaitsForPaint(s.w) && WaitFor([&] { return !WaitsForPaint(s.w); }, 500));

    // Commands, a click on "Quit" and on two check boxes, and close requests, sent and posted: none acts.
    // A click toggles a check box before its command is refused, so those are sent once. The close
    // requests show the XC3SProg Console and say once how to stop the tool.
    const struct { HWND target; UINT message; WPARAM wParam; bool posted; } requests[] = {
        {s.w, WM_COMMAND, MAKEWPARAM(4001, BN_CLICKED), true}, {s.w, WM_COMMAND, MAKEWPARAM(4011, BN_CLICKED), true},
        {s.w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), true}, {s.w, WM_CLOSE, 0, true}, {s.w, WM_SYSCOMMAND, SC_CLOSE, true},
        {GetDlgItem(s.w, IDCANCEL), BM_CLICK, 0, true}, {GetDlgItem(s.w, 4026), BM_CLICK, 0, false}, {GetDlgItem(s.w, 4007), BM_CLICK, 0, false},
    };
    for (const auto& r : requests)
        EXPECT_TRUE(SendMessageTimeoutA(r.target, r.message, r.wParam, 0, SMTO_ABORTIFHUNG, 2000, &answer) &&
                    (!r.posted || PostMessageA(r.target, r.message, r.wParam, 0))) << r.message;
    EXPECT_TRUE(SendMessageTimeoutA(s.w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) && answer == FALSE);

    // The box's last line follows the tool's progress, after the log as it stands.
    const std::string during = "Devices found: 1\r\nDevice name: X\r\nXC3SProg processing.\r\nXC3SProg is still working: "
                               "Ctrl+C in the XC3SProg Console stops it.\r\n", line = during + "Writing data page ";
    std::vector<int> pages;
    EXPECT_TRUE(WaitFor([&] { return ControlText(s.w, 4009).compare(0, line.size(), line) == 0; }));
    for (; GetTickCount() - started < 6500; Sleep(300)) {
        std::string box = ControlText(s.w, 4009);
        EXPECT_TRUE(box.compare(0, line.size(), line) == 0 && box.find("/80", line.size()) != std::string::npos) << box;
        pages.push_back(atoi(box.c_str() + std::min(box.size(), line.size())));
    }
    EXPECT_TRUE(pages.size() >= 10 && std::is_sorted(pages.begin(), pages.end()) && pages.front() < pages.back() &&
                pages.back() <= 80);
    EXPECT_FALSE(IsHungAppWindow(s.w));

    ASSERT_TRUE(WaitFor([&] { return ReadToolCalls(s.dir).size() == 1 && IsControlEnabled(s.w, 4001); }, 30000));
    EXPECT_TRUE(SendMessageTimeoutA(s.w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer));
    EXPECT_EQ(ControlText(s.w, 4009), during + "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n");
    EXPECT_EQ(std::to_string(StartedToolRuns(s.dir)) + std::to_string(IsDlgButtonChecked(s.w, 4026)) +
              std::to_string(IsDlgButtonChecked(s.w, 4007)) + std::to_string(s.WaitForExit(500) == STILL_ACTIVE) +
              std::to_string(IsDlgButtonChecked(s.w, 4025)) +
              std::to_string(s.Console(0) != NULL), "100111");
    EXPECT_EQ(IniValues(s.ini, {"Advanced/Load_FPGA_after_loading_Flash"}), "<missing>");
    EXPECT_TRUE(SendMessageTimeoutA(s.w, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 2000, &answer) && answer == TRUE);

    // What the tool said, with the XC3SProg Console hidden.
    Click(s.w, 4025);
    const std::string run = "\r\nXC3SProg processing.\r\n", loaded = "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n", wide(300, 'w');
    auto failed = [](const std::string& why) { return "XC3SProg failed" + why + "\r\nIO Error\r\n"; };
    const struct { const char* name; std::string tool, log; } cases[] = {
        {"two parts on one line", "Stdout=Reading Bitfile top.bit\\x00 failed, no such file\\r\\n",
         failed(": Reading Bitfile top.bit  failed, no such file")},
        {"on a progress line", "ExitCode=2\r\nStdout=Verify failed\\rVerify passed", failed(" with exit code 2: Verify failed")},
        {"in a long line", "Stdout=" + wide.substr(200) + " Erase failed " + wide, failed(": Erase failed " + wide.substr(252) + "...")},
        {"beyond what is kept of a line", "Stdout=" + wide + " Erase failed " + wide, failed(": Erase failed...")},
        {"no failure text", "Stdout=Reading Bitfile top.bit\\nfailed? no\\r\\n", loaded},
        {"on the last line, cut off", "Tail=Erase failed", failed(": Erase failed")},
        {"2 MB in one line", "FloodBytes=2097152\r\nFloodLine=0\r\n", loaded},
        {"8 MB", "FloodBytes=8388608\r\n", loaded},
        {"8 MB in one line", "FloodBytes=8388608\r\nFloodLine=0\r\nStdout=IOException", failed(": IOException" + std::string(50, 'x') + "...")},
    };
    auto peakPrivateBytes = [&](PROCESS_MEMORY_COUNTERS m = {}) {
        return GetProcessMemoryInfo(s.process.hProcess, &m, sizeof m) ? (long long)m.PeakPagefileUsage : 0LL; };
    std::string box = ControlText(s.w, 4009);
    long long memory = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigureTool(s.dir, c.tool + "\r\n");
        // From here on the XC3SProg Console holds all the lines it keeps, each as long as a line gets: the
        // highest the loader's memory went so far is what the floods after must stay near.
        if (c.tool.find("FloodBytes=8388608") == 0 && memory == 0)
            memory = peakPrivateBytes();
        std::string status = s.Load(s.bitstream);
        EXPECT_EQ(status.substr(std::min(box.size(), status.size())), run + c.log);
        box = status;
    }
    // 16 MB more went through the loader, into the XC3SProg Console too, and its memory stayed flat: the
    // console keeps its 5,000 latest lines (and the current one), the end of the output among them.
    ASSERT_GT(memory, 0);
    EXPECT_LT(peakPrivateBytes() - memory, 1024 * 1024);
    Click(s.w, 4025);
    HWND text = GetDlgItem(s.Console(), 100);
    // Its last lines, selected and copied as a person would: the whole text (600 KB) across processes is more
    // than Wine 10 in WoW64 mode can pass (it takes the window's process down trying), and Wine 8 cuts lines
    // that EM_GETLINE passes across; Windows passes both.
    const LRESULT lines = SendMessageA(text, EM_GETLINECOUNT, 0, 0);
    EXPECT_EQ(lines, 5001);
    SendMessageA(text, EM_SETSEL, (WPARAM)SendMessageA(text, EM_LINEINDEX, (WPARAM)(lines - 3), 0), -1);
    SendMessageA(text, WM_COPY, 0, 0);
    ASSERT_TRUE(OpenClipboard(NULL));
    const char* copied = (const char*)GetClipboardData(CF_TEXT);
    const std::string shown = copied ? copied : "";
    CloseClipboard();
    // The last flood's one line, "IOException", the letters and the stand-in's last words, wrapped at 120 columns.
    const std::string done = "Done, exit code 0";
    const size_t lastLine = (strlen("IOException") + 8388608 + done.size()) % 120;
    const std::string end = std::string(120, 'x') + "\r\n" + std::string(lastLine - done.size(), 'x') + done + "\r\n";
    EXPECT_EQ(shown.substr(shown.size() - std::min(shown.size(), end.size())), end);
}

// Whether this platform can put a child into a job of its own (before Windows 8, one already in a job cannot
// be): then the loader's tool must be in one that ends it with the loader. Tried on a suspended stand-in.
static bool PlatformPutsChildrenIntoJobs(const Session& s)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child = {};
    std::string line = "\"" + s.dir + "xc3sprog.exe\"";
    HANDLE job = CreateJobObjectA(NULL, NULL);
    bool joined = CreateProcessA(NULL, &line[0], NULL, NULL, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW, NULL, s.dir.c_str(),
                                 &startup, &child) && job && AssignProcessToJobObject(job, child.hProcess);
    TerminateProcess(child.hProcess, 0);
    for (HANDLE h : { job, child.hProcess, child.hThread })
        CloseHandle(h);
    return joined;
}

// Visible windows of a tool or of a console host, of any test's run: there must be none.
static std::vector<std::string> ConsoleWindowsShown()
{
    std::vector<DWORD> hosts;
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(processes, &entry); more; more = Process32Next(processes, &entry))
        if (lstrcmpiA(entry.szExeFile, "xc3sprog.exe") == 0 || lstrcmpiA(entry.szExeFile, "conhost.exe") == 0)
            hosts.push_back(entry.th32ProcessID);
    CloseHandle(processes);
    std::vector<std::string> found;
    char name[64];
    for (HWND w = FindWindowExA(NULL, NULL, NULL, NULL); w; w = FindWindowExA(NULL, w, NULL, NULL)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        GetClassNameA(w, name, sizeof name);
        if (IsWindowVisible(w) && (std::count(hosts.begin(), hosts.end(), owner) || lstrcmpA(name, "ConsoleWindowClass") == 0))
            found.push_back(name);
    }
    return found;
}

// The tool never shows a console window, whether the XC3SProg Console is shown or not; waiting for it costs
// the loader almost nothing; and it never outlives the loader: ended from outside in the middle of a run, the
// loader takes the tool along.
TEST(Watch, TheToolShowsNoWindowCostsNothingWhileItRunsAndEndsWithTheLoader)
{
    Session s("watch-orphan");
    ConfigureTool(s.dir, "WaitMs=8000\r\n");
    ASSERT_TRUE(s.Start());
    const std::string loader = s.dir + s.exe;
    for (int shown = 0; shown < 2; ++shown) {
        PostLoad(s);
        ASSERT_TRUE(WaitFor([&] { return StartedToolRuns(s.dir) == (size_t)shown + 1; }));
        // From the tool's start to the Load's end: the wait, the output read and the report.
        unsigned long long before = ProcessCpuMs(s.process.hProcess, loader);
        for (DWORD began = GetTickCount(); !IsControlEnabled(s.w, 4001) && GetTickCount() - began < 20000; Sleep(50))
            EXPECT_EQ(ConsoleWindowsShown(), std::vector<std::string>()) << "during run " << shown + 1;
        unsigned long long after = ProcessCpuMs(s.process.hProcess, loader);
        ASSERT_TRUE(before != ~0ULL && after != ~0ULL);
        printf("[ the loader's CPU time over an 8-second tool run: %llu ms ]\n", after - before);
        EXPECT_LE(after - before, 80u);
        Click(s.w, 4025);
    }

    ConfigureTool(s.dir, "WaitMs=30000\r\n");
    PostLoad(s);
    ASSERT_TRUE(WaitFor([&] { return StartedToolRuns(s.dir) == 3; }));
    HANDLE tool = OpenToolProcess(s.process.dwProcessId);
    ASSERT_NE(tool, (HANDLE)NULL);
    BOOL inJob = FALSE;
    if (PlatformPutsChildrenIntoJobs(s)) {
        EXPECT_TRUE(IsProcessInJob(tool, NULL, &inJob) && inJob);
        s.Close();
        EXPECT_EQ(WaitForSingleObject(tool, 2000), (DWORD)WAIT_OBJECT_0);
    } else
        printf("[ this platform puts no child into a job: the tool cannot be tied to the loader's end here ]\n");
    TerminateProcess(tool, 0);
    CloseHandle(tool);
}
