// In-process tests of the Main window: initialisation, Status log, Recent-file list, pictures.
#include <gtest/gtest.h>

#include <algorithm>

#include <cderr.h>

#include "import_slots.h"
#include "test_support.h"
#include "app/loader_state.h"
#include "app/recent_files.h"
#include "app/startup.h"
#include "ops/status_log.h"
#include "res/resource.h"
#include "ui/about_box.h"
#include "ui/main_dialog.h"

using namespace testing_support;

static const char kAdvice[] = "Devices found: 0\r\n\r\nMake sure your Vellora card is powered on "
                              "\r\nand the USB cable is connected to it and to the PC.\r\nThen press the Refresh button.";
static const BOOL kClassRegistered = RegisterLoaderClass(GetModuleHandleA(NULL));  // the Main window's template names it
static std::string Tail(const std::string& text, size_t n) { return text.substr(text.size() - std::min(text.size(), n)); }
static RECT Rect(HWND w) { RECT r; GetWindowRect(w, &r); return r; }
static int Width(HWND w) { return Rect(w).right - Rect(w).left; }
// "left,top", and with withSize, " widthxheight".
static std::string Place(HWND w, bool withSize = false)
{
    RECT r = Rect(w);
    return std::to_string(r.left) + "," + std::to_string(r.top) +
           (withSize ? " " + std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) : "");
}
// A device context of the box with its font selected, and the height of a line in that font.
static HDC FontDC(HWND box) { HDC dc = GetDC(box); SelectObject(dc, (HFONT)SendMessageA(box, WM_GETFONT, 0, 0)); return dc; }
static int LineHeight(HWND box) { TEXTMETRICA m; HDC dc = FontDC(box); GetTextMetricsA(dc, &m); ReleaseDC(box, dc); return m.tmHeight; }

// For its scope, the loader code linked into this test reaches the platform function name through standIn:
// its import slots are rewritten, and original receives what they held.
struct StandIn {
    const char* name; void* held = NULL;
    StandIn(const char* name, void* standIn, void** original = NULL) : name(name)
    { SwapImport(NULL, name, 0, standIn, &held); if (original) *original = held; }
    ~StandIn() { void* standIn; SwapImport(NULL, name, 0, held, &standIn); }
};

static HWND g_box;  // the status box of the latest Main window

struct MainWindow : ::testing::Test {
    std::string dir = MakeScratchDirectory("dialog"), ini = dir + "VLR Loader.ini";
    HWND window = NULL;

    void SetUp() override { SetEnvironmentVariableA("STANDIN_DIR", dir.c_str()); ConfigureCables(dir, 1, { "Cable A" }); }
    void TearDown() override { DestroyWindow(window); ResetLoaderState(); g_logRealloc = realloc; }
    // A fresh Main window on a fresh state, as at the start of a run; withBitstream: with top.bit chosen.
    void Open(bool withBitstream = false)
    {
        if (withBitstream) WriteFileText(dir + "top.bit", "bits");
        DestroyWindow(window);
        ResetLoaderState();
        g_state.instance = GetModuleHandleA(NULL);
        lstrcpyA(g_state.programDirectory, dir.c_str());
        lstrcpyA(g_state.settingsPath, ini.c_str());
        window = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
        ASSERT_NE(g_box = GetDlgItem(window, IDC_STATUS), (HWND)NULL);
        if (withBitstream) SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, (dir + "top.bit").c_str());
    }
    // The status box's last characters, as many as end has.
    std::string StatusEnd(const std::string& end) { return Tail(ControlText(window, IDC_STATUS), end.size()); }
    // One digit per control: whether it is checked, or with enabled, whether it is enabled.
    std::string States(std::initializer_list<int> ids, bool enabled = false)
    {
        std::string states;
        for (int id : ids) states += std::to_string(enabled ? IsControlEnabled(window, id) : IsDlgButtonChecked(window, id));
        return states;
    }
    // The status box, the log's capacity and whether Load and Read are enabled.
    std::string Status() { return ControlText(window, IDC_STATUS) + "|" + std::to_string(g_state.logCapacity) +
                                  (IsControlEnabled(window, IDC_LOAD) ? "L" : "-") + (IsControlEnabled(window, IDC_READ) ? "R" : "-"); }
    void MouseAt(POINT p) { ScreenToClient(window, &p); SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y)); }
    int Picture()  // the one visible picture; -1 when several are visible
    {
        int shown = 0;
        for (int id : { 4015, 4017, 4018, 4019, 4032, 4033 }) shown = IsControlVisible(window, id) ? (shown ? -1 : id) : shown;
        return shown;
    }
    // Row i of the Recent-file list, or "|" when it has no such row.
    std::string Row(int i)
    { char row[PATH_CAPACITY]; return SendDlgItemMessageA(window, IDC_BITSTREAM_COMBO, CB_GETLBTEXT, i, (LPARAM)row) >= 0 ? row : "|"; }
    // Recent-file entries 1 to 6 from the Settings file, then the combo box's rows.
    std::string Entries()
    {
        std::string list = IniValues(ini, {"Files/DDList#1", "Files/DDList#2", "Files/DDList#3", "Files/DDList#4",
                                           "Files/DDList#5", "Files/DDList#6"}) + " -> ";
        for (int i = 0; Row(i) != "|"; ++i) list += (i ? "," : "") + Row(i);
        return list;
    }
};

// Stand-ins for the Open dialog: the first refuses its starting name, as the platform's dialog refuses a
// folder's path or a name with quotes; the second records a choice.
static std::vector<std::string> g_offered;
static DWORD g_dialogError;
static BOOL WINAPI RefuseThenChoose(LPOPENFILENAMEA record)
{
    g_offered.push_back(record->lpstrFile);
    g_dialogError = g_offered.size() == 1 ? FNERR_INVALIDFILENAME : 0;
    record->nFileOffset = 10;
    return !g_dialogError && lstrcpyA(record->lpstrFile, "C:\\chosen\\picked.bit") && lstrcpyA(record->lpstrFileTitle, "picked.bit");
}
static DWORD WINAPI DialogError() { return g_dialogError; }
static decltype(&GetProcAddress) g_getProcAddress;
static FARPROC WINAPI DialogStandIns(HMODULE module, LPCSTR name)
{
    bool named = !IS_INTRESOURCE(name);
    return named && !strcmp(name, "GetOpenFileNameA") ? (FARPROC)(void*)RefuseThenChoose
         : named && !strcmp(name, "CommDlgExtendedError") ? (FARPROC)(void*)DialogError : g_getProcAddress(module, name);
}

// The last file may be a folder, which a Load accepts and records: the chooser, which refuses it, opens again
// without a starting name.
TEST_F(MainWindow, InitialisationRestoresControlsAndSettingsAndTheChooserCopesWithTheLastFile)
{
    WriteFileText(ini, "[Files]\r\nLastFile=C:\\designs\\\r\n[DlgPosition]\r\nX=abc\r\nY=7\r\n[Advanced]\r\n"
                       "Load_FPGA_after_loading_Flash=TRUE\xAD\r\nLoad_FPGA_after_reading_Flash=TRUE\r\n");
    Open();
    // The position (a junk X counts as 0), the box, the radios and check boxes: only the exact bytes "TRUE" set one.
    EXPECT_EQ(Place(window) + " " + ControlText(window, IDC_BITSTREAM_COMBO) + " " + States({ 4012, 4013, 4014, 4023, 4024, 4026, 4027 }),
              "0,7 C:\\designs\\ 1001001");
    Click(window, 4027);
    std::string stored = IniValues(ini, {"Advanced/Load_FPGA_after_reading_Flash"});
    Click(window, 4027);
    EXPECT_EQ(stored + "|" + IniValues(ini, {"Advanced/Load_FPGA_after_reading_Flash", "Advanced/Load_FPGA_after_loading_Flash"}),
              "FALSE|TRUE|TRUE\xAD");
    g_state.firstShow = FALSE;  // a second window without the narrowing has the template's width
    HWND full = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    std::string narrowedBy;  // at the start, after "Advanced >>" and after a second click
    for (int i = 0; i < 3; ++i, Click(window, IDC_ADVANCED))
        narrowedBy += std::to_string(Width(full) - Width(window)) + " ";
    EXPECT_EQ(narrowedBy, "300 0 300 ");
    DestroyWindow(full);
    StandIn dialog("GetProcAddress", (void*)DialogStandIns, (void**)&g_getProcAddress);
    Command(window, IDC_BROWSE);
    EXPECT_EQ(g_offered, std::vector<std::string>({ "C:\\designs\\", "" }));
    EXPECT_EQ(ControlText(window, IDC_BITSTREAM_COMBO) + "|" + IniValues(ini, {"Files/LastFile", "Files/LastFileTitle", "Files/DDList#1"}),
              "C:\\chosen\\picked.bit|C:\\chosen\\picked.bit|picked.bit|C:\\chosen\\picked.bit");
}

// Hands out blocks full of junk, as a heap may, and fails only the first growth after a start.
static void* JunkRealloc(void* block, size_t size)
{
    static bool started = false;
    char* grown = block != NULL && started ? nullptr : (char*)malloc(size);
    started = block == NULL;
    if (grown != NULL)  // here the log grows once, from its one-byte start block: one byte to keep
        memset(grown, 'J', size), grown[0] = block ? *(char*)block : 'J', free(block);
    return grown;
}

TEST_F(MainWindow, StatusLogReportsCablesAndSurvivesAllocationFailures)
{
    std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", name63(63, 'd'), found1 = "Devices found: 1\r\nDevice name: ";
    const std::string two = "Count=2\r\nDescription0=A\r\nDescription1=B", listed = "\r\nDevice name: A\r\nDevice name: B|600LR";
    // refresh: re-detect in the same window, which keeps the count that the driver last wrote.
    struct { std::string driver, status, calls; bool refresh{}; } cases[] = {
        { "Count=0", kAdvice + std::string("|400--"), "70 " },
        { "Count=2\r\nDescription0=A\r\nFailDetailIndex=1", "Devices found: 2\r\nDevice name: A\r\nIO Error!|600LR", "70 72,0 72,1 " },
        { "Count=1\r\nCountStatus=1", "Devices found: IO Error!\r\n|400--", "70 " },
        { "Count=1\r\nDescription0=" + name63, found1 + name63 + "|500LR", "70 72,0 " },
        { "Count=1\r\nUnterminatedIndex=0", found1 + (letters + letters + letters).substr(0, 63) + "|500LR", "70 72,0 " },
        { two, "Devices found: 2" + listed, "70 72,0 72,1 " },
        { two + "\r\nCountStatus=1", "Devices found: IO Error!\r\n" + listed, "70 72,0 72,1 ", true },
    };
    for (const auto& c : cases) {
        WriteFileText(dir + "simulated-card.ini", "[Driver]\r\n" + c.driver + "\r\n");
        DeleteFileA((dir + "ftd2xx-calls.log").c_str());
        c.refresh ? (void)SendMessageA(window, WM_COMMAND, IDC_REFRESH, 0) : Open();
        std::string calls;  // the driver's calls in their order, "70 72,0 ..."
        for (char ch : ReadFileText(dir + "ftd2xx-calls.log"))
            calls += ch == '\r' ? "" : ch == '\n' ? " " : ch == ' ' ? "," : std::string(1, ch);
        EXPECT_EQ(Status() + " " + calls, c.status + " " + c.calls) << c.driver;
    }
    std::string before = g_state.logBuffer;  // the last case's log, in a capacity of 600
    g_logRealloc = [](void*, size_t) -> void* { return NULL; };
    GrowStatusLog(100);  // a failed growth keeps the old text and capacity; appends are cut to fit
    AppendStatusLog(std::string(700, 'x').c_str());
    EXPECT_EQ(g_state.logBuffer + std::to_string(g_state.logCapacity), before + std::string(599 - before.size(), 'x') + "600");
    Open();  // a start that obtains no buffer
    EXPECT_EQ(Status(), "Allocation Error!|0--");
    g_logRealloc = JunkRealloc;  // a start whose first growth fails: the log is still empty text
    ConfigureCables(dir, 1, { "Cable A" });
    Open();
    EXPECT_EQ(Status(), "\r\nDevice name: Cable A|100LR");
}

TEST_F(MainWindow, RecentFilePushAndFill)
{
    // Entries A, B, P, E under a DDListMax; entry 6 tells whether empty entries were written.
    struct { const char* max; const char* path; const char* list; } cases[] = {
        { "", "P", "P|A|B|P|E| -> P,A,B,P,E,,,,," }, { "", "a", "a|A|B|P|E| -> a,A,B,P,E,,,,," },
        { "1", "X", "X|B|P|E|<missing>|<missing> -> X" }, { "3", "X", "X|A|B|E|<missing>|<missing> -> X,A,B" },
    };
    Open();
    for (const auto& c : cases) {
        WriteFileText(ini, std::string("[Files]\r\nDDList#1=A\r\nDDList#2=B\r\nDDList#3=P\r\nDDList#4=E\r\nDDListMax=") + c.max + "\r\n");
        lstrcpyA(g_state.bitstreamPath, c.path);
        PushRecentFile();
        FillRecentFileCombo(window);
        EXPECT_EQ(Entries(), c.list) << c.max;
        std::string bytes = ReadFileText(ini);
        PushRecentFile();  // the path is entry 1 now: nothing is written
        EXPECT_EQ(ReadFileText(ini), bytes);
    }
}

TEST_F(MainWindow, PicturesFollowTheControls)
{
    Open();
    std::string seen = std::to_string(Picture());  // after each click: the picture, whether the Load inputs are enabled
    for (int click : { 4013, 4014, 4016, 4024, 4023, 4016, 4012 }) {
        Click(window, click);
        seen += " " + std::to_string(Picture()) + ":" + States({ 4003, 4004, 4012, 4013, 4014 }, true);
    }
    EXPECT_EQ(seen, "4015 4019:11111 4018:11111 4017:00000 4033:00000 4032:00000 4018:11111 4015:11111");
    // Points from the panel's own rectangles: the empty foot of the Advanced group, once in view,
    // and the empty margin left of the "Information" group.
    Click(window, IDC_ADVANCED);
    RECT group = Rect(GetDlgItem(window, IDC_ADVANCED_GROUP)), last = Rect(GetDlgItem(window, IDC_LOAD_AFTER_READ));
    RECT info = Rect(GetDlgItem(window, IDC_INFO_GROUP));
    POINT inside = { (group.left + group.right) / 2, (last.bottom + group.bottom) / 2 }, outside = { info.left - 3, (info.top + info.bottom) / 2 };
    std::string hover;  // the picture after each step
    auto step = [&](int click, POINT p) { if (click) Click(window, click); MouseAt(p); hover += std::to_string(Picture()) + " "; };
    // Entering with the external read source; moving inside (the destination's 4019 stays); leaving; entering
    // with the internal read source; leaving with "Load FPGA from Flash" checked.
    step(0, inside), step(4013, { inside.x + 5, inside.y + 5 }), step(4024, outside), step(0, inside);
    step(4016, inside), step(4024, inside), step(0, outside);
    EXPECT_EQ(hover, "4032 4019 4019 4033 4017 4033 4017 ");
    // A Refresh sets both radio sets to their defaults, with cables found or none, and the picture follows.
    Click(window, 4016);
    for (int cables : { 0, 2 }) {
        Click(window, 4014), Click(window, 4024);
        ConfigureCables(dir, cables, { "Cable A", "Cable B" });
        Command(window, IDC_REFRESH);
        EXPECT_EQ(States({ 4012, 4013, 4014, 4023, 4024 }) + " " + std::to_string(Picture()) + " " + Status(), "10010 4015 " +
                  (cables ? "Devices found: 2\r\nDevice name: Cable A\r\nDevice name: Cable B|600LR" : kAdvice + std::string("|400--")));
    }
}

// What the Load did, in order: tool starts (their command lines after "-v ") and pauses, each with what the
// window failed to show at that moment: "+enabled" when the command's button was not disabled, "+unpainted"
// when anything of the window waited to be painted, "+hidden" when the log's last line was out of view; and
// tool starts that were not hidden, at idle priority, with their output in a pipe: "+shown or busy".
static std::vector<std::string> g_events;
static std::string g_refused;  // tool starts whose command line holds this text fail
static int g_starter;
static decltype(&CreateProcessA) g_createProcess;
static decltype(&Sleep) g_sleep;
static BOOL CALLBACK FindUnpainted(HWND child, LPARAM found) { return !(*(BOOL*)found = GetUpdateRect(child, NULL, FALSE)); }
// The log's last line of text wholly in the box's view: the log ends with a line break, after which the box
// shows an empty line.
static bool LastLineInView()
{
    LRESULT at = SendMessageA(g_box, EM_POSFROMCHAR, strlen(g_state.logBuffer) - 3, 0);
    RECT client;
    return at != -1 && GetClientRect(g_box, &client) && (short)HIWORD(at) >= 0 && (short)HIWORD(at) + LineHeight(g_box) <= client.bottom;
}
static std::string Shown()
{
    HWND window = GetParent(g_box);
    BOOL unpainted = GetUpdateRect(window, NULL, FALSE);
    if (!unpainted) EnumChildWindows(window, FindUnpainted, (LPARAM)&unpainted);
    return std::string(IsControlEnabled(window, g_starter) ? "+enabled" : "") + (unpainted ? "+unpainted" : "") +
           (LastLineInView() ? "" : "+hidden");
}
static BOOL WINAPI RecordStart(LPCSTR app, LPSTR line, LPSECURITY_ATTRIBUTES p, LPSECURITY_ATTRIBUTES t, BOOL inherit,
                               DWORD flags, LPVOID env, LPCSTR cwd, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info)
{
    std::string command = std::string(line).substr(24), file = "\"" + std::string(g_state.bitstreamPath) + "\"";
    if (command.find(file) != std::string::npos)
        command.replace(command.find(file), file.size(), "<file>");
    bool refuse = !g_refused.empty() && command.find(g_refused) != std::string::npos;
    // The tool's output and errors go to one inheritable pipe, and it gets no input.
    HANDLE out = startup->hStdOutput;
    DWORD handleFlags = 0;
    // It starts suspended, to be put into its job before it runs, and without any console window.
    bool hiddenAtIdle = (flags & ~EXTENDED_STARTUPINFO_PRESENT) == (IDLE_PRIORITY_CLASS | CREATE_NO_WINDOW | CREATE_SUSPENDED) && inherit &&
                        (startup->dwFlags & STARTF_USESHOWWINDOW) && startup->wShowWindow == SW_HIDE &&
                        (startup->dwFlags & STARTF_USESTDHANDLES) && startup->hStdInput == NULL && out != NULL &&
                        startup->hStdError == out && GetFileType(out) == FILE_TYPE_PIPE &&
                        GetHandleInformation(out, &handleFlags) && (handleFlags & HANDLE_FLAG_INHERIT);
    g_events.push_back(command + (refuse ? " refused" : "") + (hiddenAtIdle ? "" : "+shown or busy") + Shown());
    return !refuse && g_createProcess(app, line, p, t, inherit, flags, env, cwd, startup, info);
}
static void WINAPI RecordPause(DWORD ms) { g_events.push_back("pause " + std::to_string(ms) + Shown()); g_sleep(ms); }

TEST_F(MainWindow, LoadAndReadPauseOnlyAfterStartedRunsAndTheWindowShowsItsStateAtEveryStep)
{
    const std::string run = "XC3SProg processing.\r\nXC3SProg done.\r\n", refused = "XC3SProg processing.\r\nRun XC3SProg failed!\r\n";
    const std::string waitI = "\r\nWaiting for internal flash to be loaded.\r\n", waitX = "\r\nWaiting for external flash to be loaded.\r\n";
    // command 4022 is a Read of the external flash; the others are Loads into the given destination
    const struct { int command, destination; bool fpgaAfter; const char* refuse; std::vector<std::string> events; std::string log; } cases[] = {
        {4001, 4014, false, "", {"xc3s400an.bit:w", "pause 50", "-I <file>:w", "pause 100"}, waitI + run + run + "Internal Flash loaded.\r\n"},
        {4001, 4014, false, "xc3s400an", {"xc3s400an.bit:w refused"}, waitI + refused + "IO Error\r\n"},
        {4001, 4013, true, "-I", {"vlrext.bit:w", "pause 50", "-I <file>:w refused"}, waitX + run + refused + "IO Error\r\n"},
        {4001, 4012, false, "", {"<file>:w"}, "\r\n" + run + "top.bit loaded into FPGA\r\n"},
        {4022, 4012, false, "", {"vlrext.bit:w", "-I XFlash.bit:R:0:BIT:236000"}, "Reading Flash to file.\r\n" + run + run + "External Flash loaded into XFlash.bit\r\n"},
    };
    for (const char* name : { "xc3s400an.bit", "vlrext.bit" }) WriteFileText(dir + name, "bits");
    Open(true);
    // An inheritable handle of this process, above the few that the tool opens itself: the tool must not get it.
    std::vector<HANDLE> filler(300);
    SECURITY_ATTRIBUTES inheritable = { sizeof inheritable, NULL, TRUE };
    for (HANDLE& h : filler) h = CreateEventA(NULL, FALSE, FALSE, NULL);
    HANDLE probe = CreateEventA(&inheritable, FALSE, FALSE, NULL);
    for (HANDLE h : filler) CloseHandle(h);
    SetEnvironmentVariableA("STANDIN_PROBE_HANDLE", std::to_string((ULONG_PTR)probe).c_str());
    StandIn start("CreateProcessA", (void*)RecordStart, (void**)&g_createProcess), pause("Sleep", (void*)RecordPause, (void**)&g_sleep);
    for (const auto& c : cases) {
        g_events.clear(), g_refused = c.refuse, g_starter = c.command;
        Click(window, c.destination);
        CheckDlgButton(window, IDC_LOAD_AFTER_FLASH, c.fpgaAfter);
        SetDlgItemTextA(window, IDC_BITSTREAM_COMBO, (dir + "top.bit").c_str());
        Command(window, c.command);
        EXPECT_EQ(g_events, c.events) << c.log;
        EXPECT_EQ(Row(0), dir + "top.bit");  // the drop-down list offers the file just loaded first
        // At the end the box holds the whole log and shows its last line, its caret at the start as a whole-text
        // show leaves it, though only the new text was handed over.
        std::string box = WindowText(g_box);
        DWORD from = 1, to = 1;
        SendMessageA(g_box, EM_GETSEL, (WPARAM)&from, (LPARAM)&to);
        EXPECT_TRUE(box == g_state.logBuffer && Tail(box, c.log.size()) == c.log &&
                    SendMessageA(g_box, EM_GETFIRSTVISIBLELINE, 0, 0) > 0 && LastLineInView() && from == 0 && to == 0)
            << box << from << "," << to;
    }
    SetEnvironmentVariableA("STANDIN_PROBE_HANDLE", NULL);
    CloseHandle(probe);
    // The tool's own view: not the probe handle, and a pipe for its output. (Its input is NULL as started, see
    // RecordStart; Wine hands a program started without a console window a console input of its own.)
    std::string probed = ReadFileText(dir + "xc3sprog-probe.log");
    size_t lines = 0, good = 0;
    for (size_t at = 0, end; (end = probed.find("\r\n", at)) != std::string::npos; at = end + 2, ++lines)
        good += probed.compare(at, 20, "not inherited input ") == 0 && probed.compare(end - 9, 9, " output 3") == 0;
    EXPECT_TRUE(lines > 0 && good == lines) << probed;
}

// Every line of the About text fits one line of its box in the box's own font, with room to spare.
TEST(AboutBox, EachLineOfTheTextFitsOneLineOfItsBox)
{
    HWND about = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutDialogProc, 0);
    HWND box = GetDlgItem(about, IDC_ABOUT_TEXT);
    RECT client, all;
    GetClientRect(box, &client);
    HDC dc = FontDC(box);
    std::string text = WindowText(box), widths;
    all = client;
    DrawTextA(dc, text.c_str(), -1, &all, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
    for (size_t from = 0, to; from <= text.size(); from = to + 2) {
        to = std::min(text.find("\r\n", from), text.size());
        RECT line = {};
        DrawTextA(dc, text.substr(from, to - from).c_str(), -1, &line, DT_CALCRECT | DT_SINGLELINE);
        widths += line.right * 10 <= client.right * 9 ? "" : text.substr(from, to - from) + " is too wide; ";
    }
    ReleaseDC(box, dc);
    EXPECT_EQ(widths, "");
    EXPECT_TRUE(all.bottom - all.top == 7 * LineHeight(box) && all.bottom <= client.bottom) << all.bottom << " " << client.bottom;
    DestroyWindow(about);
}

// Windows 7's wait refuses the whole call for a wake flag it lacks (Windows 8's QS_TOUCH 0x800 and QS_POINTER
// 0x1000 among them) or a flag beyond MWMO_INPUTAVAILABLE. Every run of this program waits through it; a test
// may make it refuse every call.
static decltype(&MsgWaitForMultipleObjectsEx) g_msgWait;
static int g_waits, g_refusedWaits;
static bool g_everyWaitFails;
static DWORD WINAPI Windows7Wait(DWORD count, const HANDLE* handles, DWORD ms, DWORD wake, DWORD flags)
{
    bool refuse = g_everyWaitFails || (wake & ~0x05FFu) != 0 || (flags & ~0x7u) != 0;
    ++g_waits, g_refusedWaits += refuse;
    SetLastError(ERROR_INVALID_PARAMETER);
    return refuse ? WAIT_FAILED : g_msgWait(count, handles, ms, wake, flags);
}
static const bool kWindows7Wait =
    SwapImport(NULL, "MsgWaitForMultipleObjectsEx", 0, (void*)Windows7Wait, (void**)&g_msgWait) == 0 && g_msgWait != NULL;

// A thread timer of the test's fires only while the run takes the window's messages: it notes the page the
// status box shows and whether the PC is kept awake.
static std::vector<int> g_pages;
static EXECUTION_STATE g_executionState;
static bool g_sleepAllowedDuringRun;
static decltype(&SetThreadExecutionState) g_setExecutionState;
static EXECUTION_STATE WINAPI RecordExecutionState(EXECUTION_STATE state) { g_executionState = state; return g_setExecutionState(state); }
static void CALLBACK NotePage(HWND, UINT, UINT_PTR, DWORD)
{
    std::string box = WindowText(g_box);
    size_t at = box.rfind("Writing data page ");
    int page = at == std::string::npos ? -1 : atoi(box.c_str() + at + 18);
    if (page >= 0 && (g_pages.empty() || g_pages.back() != page)) g_pages.push_back(page);
    g_sleepAllowedDuringRun |= g_executionState != (ES_CONTINUOUS | ES_SYSTEM_REQUIRED);
}

// Keys in the XC3SProg Console as Windows delivers them during a run, a Ctrl+C held down among them: its repeats
// come with the key's previous state down. A stand-in answers the question: No to Ctrl+C, Yes to Ctrl+Break.
static std::vector<std::string> g_questions;
static int g_answer;
static int WINAPI AnswerQuestion(HWND owner, LPCSTR text, LPCSTR, UINT type)
{
    g_questions.push_back(std::string(owner == g_state.consoleWindow ? "" : "not the console's: ") + text +
                          ((type & (MB_TYPEMASK | MB_DEFMASK)) == (MB_YESNO | MB_DEFBUTTON2) ? "" : " (not Yes/No, No the default)"));
    return g_answer;
}
static void CtrlDown(bool down) { BYTE keys[256]; GetKeyboardState(keys); keys[VK_CONTROL] = down ? 0x80 : 0; SetKeyboardState(keys); }
static void CALLBACK HoldCtrlCThenPressCtrlBreak(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(NULL, timer);
    HWND text = g_state.consoleTextBox;
    CtrlDown(true);
    g_answer = IDNO;
    for (LPARAM flags : { 1, 0x40000001, 0x40000001, 0x40000001 }) SendMessageA(text, WM_KEYDOWN, 'C', flags);
    SendMessageA(text, WM_KEYUP, 'C', 0xC0000001);
    g_answer = IDYES;
    SendMessageA(text, WM_KEYDOWN, VK_CANCEL, 1);
    CtrlDown(false);
}

// With Windows 7's wait, and with a wait that always fails, the run is watched alike: the window takes its
// messages, the progress moves on, the output reaches the XC3SProg Console and a failure the tool only prints
// fails the run. The PC is kept from sleeping until the command ends. The tool shows its progress a few bytes
// at a time, as the real one does in a flash write: that wakes the run at most a hundred times a second, not
// at every write.
TEST_F(MainWindow, TheRunIsWatchedWithWindows7sWaitOrAFailingOneAndStopsOnlyOnAYesInTheConsole)
{
    ASSERT_TRUE(kWindows7Wait);
    ConfigureTool(dir, "Stdout=Verify failed\\r\\n\r\nProgress=\\t\\t\\tWriting data page #/1000 at flash page #\r\nSteps=1000\r\nStepMs=1\r\n");
    Open(true);
    StandIn executionState("SetThreadExecutionState", (void*)RecordExecutionState, (void**)&g_setExecutionState);
    const std::string said = "XC3SProg failed: Verify failed\r\nIO Error\r\n",
                      end = "Verify failed\r\n   Writing data page 1000/1000 at flash page 1000\r\nDone, exit code 0\r\n";
    for (bool everyWaitFails : { false, true }) {
        SCOPED_TRACE(everyWaitFails ? "every wait fails" : "Windows 7's wait");
        g_everyWaitFails = everyWaitFails, g_waits = g_refusedWaits = 0, g_sleepAllowedDuringRun = false, g_pages.clear();
        UINT_PTR timer = SetTimer(NULL, 0, 50, NotePage);
        DWORD started = GetTickCount();
        Command(window, IDC_LOAD);
        DWORD elapsed = GetTickCount() - started;
        KillTimer(NULL, timer);
        EXPECT_TRUE(g_pages.size() >= 5 && std::is_sorted(g_pages.begin(), g_pages.end()) && g_pages.back() <= 1000)
            << testing::PrintToString(g_pages);
        EXPECT_TRUE(g_waits > 0 && g_waits <= (int)(elapsed / 10 + 10) && g_refusedWaits == (everyWaitFails ? g_waits : 0))
            << g_waits << " " << g_refusedWaits << " in " << elapsed << " ms";
        EXPECT_EQ(StatusEnd(said) + "|" + Tail(WindowText(g_state.consoleTextBox), end.size()), said + "|" + end);
        EXPECT_TRUE(!g_sleepAllowedDuringRun && g_executionState == ES_CONTINUOUS);
    }
    // Ctrl+C held down in the XC3SProg Console asks once, and only a Yes stops the tool.
    g_everyWaitFails = false;
    ConfigureTool(dir, "WaitMs=3000\r\n");
    Click(window, IDC_SHOW_CONSOLE);
    StandIn question("MessageBoxA", (void*)AnswerQuestion);
    SetTimer(NULL, 0, 500, HoldCtrlCThenPressCtrlBreak);
    Command(window, IDC_LOAD);
    const std::string asked = "Stop XC3SProg now? A flash write that is cut off leaves the flash holding a broken image until "
                              "it is loaded again.";
    EXPECT_EQ(g_questions, std::vector<std::string>({ asked, asked }));
    const std::string stopped = "XC3SProg stopped.\r\nIO Error\r\n";
    EXPECT_EQ(StatusEnd(stopped), stopped);
}

// Windows 7 in a job: a process in one cannot be put into another, so the tool joins its own job only when it
// has left the program's as it started, which that job must allow. The stand-ins pretend the program runs in a
// job with the given limits and refuse a join as Windows 7 does.
static bool g_inJob, g_refuseBreakaway, g_toolInProgramsJob;
static DWORD g_jobLimits;
static std::string g_jobEvents;
static BOOL WINAPI PretendInJob(HANDLE, HANDLE, PBOOL result) { *result = g_inJob; return TRUE; }
static BOOL WINAPI PretendJobLimits(HANDLE job, JOBOBJECTINFOCLASS kind, LPVOID info, DWORD size, LPDWORD)
{
    bool asked = job == NULL && kind == JobObjectExtendedLimitInformation && size == sizeof(JOBOBJECT_EXTENDED_LIMIT_INFORMATION);
    if (asked)
        memset(info, 0, size), ((JOBOBJECT_EXTENDED_LIMIT_INFORMATION*)info)->BasicLimitInformation.LimitFlags = g_jobLimits;
    return asked;
}
static BOOL WINAPI StartInJob(LPCSTR app, LPSTR line, LPSECURITY_ATTRIBUTES p, LPSECURITY_ATTRIBUTES t, BOOL inherit,
                              DWORD flags, LPVOID env, LPCSTR cwd, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION info)
{
    bool breakaway = (flags & CREATE_BREAKAWAY_FROM_JOB) != 0, refused = breakaway && g_refuseBreakaway;
    g_jobEvents += std::string(breakaway ? "start+breakaway" : "start") + (refused ? " refused, " : ", ");
    g_toolInProgramsJob = g_inJob && !breakaway && !(g_jobLimits & JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK);
    SetLastError(ERROR_ACCESS_DENIED);
    return !refused && g_createProcess(app, line, p, t, inherit, flags & ~CREATE_BREAKAWAY_FROM_JOB, env, cwd, startup, info);
}
static decltype(&AssignProcessToJobObject) g_assign;
static BOOL WINAPI JoinAsWindows7(HANDLE job, HANDLE process)
{
    g_jobEvents += g_toolInProgramsJob ? "join refused" : "join";
    SetLastError(ERROR_ACCESS_DENIED);
    return !g_toolInProgramsJob && g_assign(job, process);
}

// Without the event that its reading waits on, the runner cannot read the tool's output: the tool's writes
// must then fail rather than wait for ever on a full pipe.
static HANDLE WINAPI NoEvent(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCSTR) { return NULL; }

TEST_F(MainWindow, InAJobTheToolJoinsItsOwnOnlyWhereAllowedAndARunWithUnreadOutputStillEnds)
{
    const struct { bool inJob; DWORD limits; bool refuse; const char* events; } cases[] = {
        { false, 0, false, "start, join" }, { true, JOB_OBJECT_LIMIT_BREAKAWAY_OK, false, "start+breakaway, join" },
        { true, JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK, false, "start, join" }, { true, 0, false, "start, join refused" },
        { true, JOB_OBJECT_LIMIT_BREAKAWAY_OK, true, "start+breakaway refused, start, join refused" },
    };
    Open(true);
    const std::string done = "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n";
    StandIn inJob("IsProcessInJob", (void*)PretendInJob), limits("QueryInformationJobObject", (void*)PretendJobLimits),
        start("CreateProcessA", (void*)StartInJob, (void**)&g_createProcess),
        join("AssignProcessToJobObject", (void*)JoinAsWindows7, (void**)&g_assign);
    for (const auto& c : cases) {
        g_inJob = c.inJob, g_jobLimits = c.limits, g_refuseBreakaway = c.refuse, g_jobEvents.clear();
        Command(window, IDC_LOAD);
        EXPECT_EQ(g_jobEvents + " | " + StatusEnd(done), c.events + (" | " + done));
    }
    // A run whose output cannot be read still ends: the sixth.
    ConfigureTool(dir, "FloodBytes=4194304\r\n");
    StandIn noEvent("CreateEventA", (void*)NoEvent);
    Command(window, IDC_LOAD);
    std::vector<ToolCall> calls = ReadToolCalls(dir);
    EXPECT_TRUE(calls.size() == 6 && calls.back().endMs - calls.back().startMs < 20000) << calls.size();
}

// The XC3SProg Console: hidden until first checked, yet holding all the tool printed since the start, as a
// console shows it; placed beside the Main window once, then wherever the person leaves it; its close
// button only hides it.
TEST_F(MainWindow, ConsoleWindowHoldsAllTheToolPrintedAndStaysWhereThePersonLeftIt)
{
    WriteFileText(ini, "[DlgPosition]\r\nX=100\r\nY=50\r\n");
    ConfigureTool(dir, "Progress=\\t\\t\\tWriting data page #/3 at flash page #\r\nSteps=3\r\n");
    Open(true);
    Command(window, IDC_LOAD);
    HWND console = FindWindowA("VLR_ConsoleClass", NULL), text = GetDlgItem(console, IDC_CONSOLE_TEXT);
    ASSERT_NE(text, (HWND)NULL);
    EXPECT_FALSE(IsWindowVisible(console));
    // Each run's lines, the progress rewritten in place: only its last step stands.
    std::string shown = WindowText(text), progress = "   Writing data page 3/3 at flash page 3\r\nDone, exit code 0\r\n";
    EXPECT_TRUE(shown.find("Command line: xc3sprog.exe -c ftdi -v ") != std::string::npos && shown.size() > progress.size() &&
                Tail(shown, progress.size()) == progress &&
                shown.find("page 1/3") == std::string::npos && shown.find("page 2/3") == std::string::npos) << shown;

    Click(window, IDC_SHOW_CONSOLE);
    EXPECT_EQ(Place(console, true) + " " + std::to_string(IsWindowVisible(console)) + " " + WindowText(console),
              "730,50 740x488 1 XC3SProg Console");
    // A window of its own, with a taskbar button: top-level and without owner.
    EXPECT_TRUE(GetWindow(console, GW_OWNER) == NULL && GetParent(console) == NULL && (GetWindowLongPtrA(console, GWL_EXSTYLE) & WS_EX_APPWINDOW));
    SetWindowPos(console, NULL, 200, 300, 600, 400, SWP_NOZORDER);
    SetWindowPos(window, NULL, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    std::string states;  // visible and checked after: unchecking, checking, the close button, checking
    for (bool closeButton : { false, false, true, false }) {
        closeButton ? (void)SendMessageA(console, WM_SYSCOMMAND, SC_CLOSE, 0) : Click(window, IDC_SHOW_CONSOLE);
        states += std::to_string(IsWindowVisible(console)) + std::to_string(IsDlgButtonChecked(window, IDC_SHOW_CONSOLE));
    }
    EXPECT_EQ(states + " " + Place(console, true), "00110011 200,300 600x400");

    // A flood leaves the latest lines, the kept 5,000 and the current one, and never clears earlier runs'.
    ConfigureTool(dir, "FloodBytes=1000000\r\nFloodLine=8\r\n");
    Command(window, IDC_LOAD);
    shown = WindowText(text);
    EXPECT_EQ(std::to_string(SendMessageA(text, EM_GETLINECOUNT, 0, 0)) + " " + shown.substr(0, 20) + "|" + Tail(shown, 29),
              "5001 xxxxxxxx\r\nxxxxxxxx\r\n|xxxxxxxx\r\nDone, exit code 0\r\n");

    // Scrolled back to read, the person keeps the same lines in view while output comes and old lines go;
    // at the end again, the view follows the output.
    std::string numbered;
    for (int i = 0; i < 40; ++i) numbered += "line " + std::to_string(i) + "\\r\\n";
    ConfigureTool(dir, "Stdout=" + numbered + "\r\n");
    Command(window, IDC_LOAD);
    auto firstVisibleLine = [&] {
        char line[64] = { sizeof line - 1 };  // the capacity, in the first WORD
        return std::string(line, SendMessageA(text, EM_GETLINE, SendMessageA(text, EM_GETFIRSTVISIBLELINE, 0, 0), (LPARAM)line));
    };
    SendMessageA(text, EM_LINESCROLL, 0, -10000);
    SendMessageA(text, EM_LINESCROLL, 0, SendMessageA(text, EM_GETLINECOUNT, 0, 0) - 30);
    std::string readHere = firstVisibleLine();
    EXPECT_EQ(readHere.compare(0, 5, "line "), 0) << readHere;
    Command(window, IDC_LOAD);
    EXPECT_EQ(firstVisibleLine(), readHere);
    SendMessageA(text, WM_VSCROLL, SB_BOTTOM, 0);
    Command(window, IDC_LOAD);
    SCROLLINFO bar = { sizeof bar, SIF_ALL, 0, 0, 0, 0, 0 };
    EXPECT_TRUE(GetScrollInfo(text, SB_VERT, &bar) && bar.nPos + (int)bar.nPage > bar.nMax) << bar.nPos << " " << bar.nPage << " " << bar.nMax;

    // Beside a Main window at the work area's right edge its caption would be out of reach: it opens as close
    // as fits, at the edge.
    MONITORINFO m = {};
    m.cbSize = sizeof m;
    GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &m);
    WriteFileText(ini, "[DlgPosition]\r\nX=" + std::to_string(m.rcWork.right - Width(window)) + "\r\nY=50\r\n");
    Open();
    Click(window, IDC_SHOW_CONSOLE);
    EXPECT_EQ(Place(g_state.consoleWindow), std::to_string(m.rcWork.right - 740) + ",50");
}
