// The file chooser, Read flash to file, the Tool console and the About box, driven in the real program.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

template <class Condition> static bool WaitFor(Condition condition, DWORD ms = 5000)
{
    for (DWORD started = GetTickCount(); !condition(); Sleep(20))
        if (GetTickCount() - started > ms)
            return false;
    return true;
}

class Advanced : public ::testing::Test {
protected:
    std::string dir, ini;
    LoaderProcess loader = {};
    HWND w = NULL;

    void Start(bool withTool = true, const std::string& cwd = "")
    {
        dir = LayOutProgramDirectory("adv", withTool);
        ini = dir + "VLR Loader.ini";
        WriteFileText(dir + "design.bit", "BITS");
        loader = StartLoader(dir, "", cwd);
        ASSERT_NE(w = loader.window, (HWND)NULL);
    }
    void TearDown() override { CloseLoader(loader); }
    void Click(int id) { SendMessageA(GetDlgItem(w, id), BM_CLICK, 0, 0); }

    // Opens the chooser, types a name into the Open dialog and presses OK or Cancel.
    void Choose(const std::string& typed, int button)
    {
        PostMessageA(w, WM_COMMAND, 4004, 0);
        HWND dialog = FindProcessWindow(loader.info.dwProcessId, "#32770", 5000);
        ASSERT_NE(dialog, (HWND)NULL);
        EXPECT_EQ(WindowText(dialog), "Select file bitstream: ");
        // The file name field: edt1, or the edit inside cmb13 (a ComboBoxEx holding a ComboBox under Wine).
        HWND edit = GetDlgItem(dialog, 0x0480), combo = GetDlgItem(dialog, 0x047C);
        for (; edit == NULL && combo != NULL; combo = GetWindow(combo, GW_CHILD))
            edit = FindWindowExA(combo, NULL, "Edit", NULL);
        ASSERT_NE(edit, (HWND)NULL);
        SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)typed.c_str());
        PostMessageA(dialog, WM_COMMAND, button, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
        WindowText(w);  // the chooser has finished once the window answers again
    }
};

TEST_F(Advanced, ChooserRecordsTheChosenFileAndCancelChangesNothing)
{
    Start();
    WriteFileText(dir + "other.bit", "B");
    WriteFileText(dir + "other", "B");  // Wine's dialog checks the typed name before adding the extension
    Choose(dir + "design.bit", IDOK);
    EXPECT_EQ(ControlText(w, 4003), dir + "design.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFile"), dir + "design.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFileTitle"), "design.bit");
    EXPECT_EQ(IniRead(ini, "Files", "DDList#1"), dir + "design.bit");
    Choose("other", IDOK);
    EXPECT_EQ(ControlText(w, 4003), dir + "other.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFileTitle"), "other.bit");
    Choose(dir + "design.bit", IDCANCEL);
    EXPECT_EQ(ControlText(w, 4003), dir + "other.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFile"), dir + "other.bit");
}

TEST_F(Advanced, ReadRunsTheToolInTheProgramDirectoryAndShowsTheDestinationPicture)
{
    const std::string pair = "XC3SProg processing.\r\nXC3SProg done.\r\n", tool = "xc3sprog.exe -c ftdi -v ";
    for (int row = 0; row < 4; ++row) {
        const bool external = row < 2, loadBack = row % 2 == 1;
        const std::string name = external ? "XFlash" : "IFlash", file = name + ".bit";
        SCOPED_TRACE(file + (loadBack ? " with load-back" : ""));
        Start(true, MakeScratchDirectory("elsewhere"));
        Click(external ? 4024 : 4023);  // shows the other source's picture before the Read
        Click(external ? 4023 : 4024);
        if (loadBack)
            Click(4027);
        std::string before = ControlText(w, 4009);
        Command(w, 4022);
        EXPECT_EQ(ControlText(w, 4009), before + "Reading Flash to file.\r\n" + pair + pair +
                                             (external ? "External" : "Internal") + " Flash loaded into " + file +
                                             "\r\n" + (loadBack ? pair : ""));
        // Each run as "<its current directory>\\ <command line>".
        std::vector<std::string> expected = { dir + " " + tool + (external ? "vlrext" : "xc3s400an") + ".bit:w",
                                              dir + " " + tool + "-I " + file + ":R:0:BIT:236000",
                                              dir + " " + tool + file + ":w" }, runs;
        expected.resize(loadBack ? 3 : 2);
        for (const ToolCall& call : ReadToolCalls(dir))
            runs.push_back(call.directory + "\\ " + call.commandLine);
        EXPECT_EQ(runs, expected);
        EXPECT_EQ(ReadFileText(dir + file), "FLASHDATA");  // the stand-in's default read content
        EXPECT_TRUE(IsControlEnabled(w, 4022));
        for (int id : { 4017, 4018, 4019, 4032, 4033 })
            EXPECT_FALSE(IsControlVisible(w, id)) << id;
        EXPECT_TRUE(IsControlVisible(w, 4015));
        CloseLoader(loader);
    }
}

TEST_F(Advanced, ReadFailuresEndTheLogWithIoError)
{
    Start(false);
    WriteFileText(dir + "XFlash.bit", "OLD CONTENT");
    std::string before = ControlText(w, 4009);
    Command(w, 4022);
    const std::string failed = "XC3SProg processing.\r\nRun XC3SProg failed!\r\n";
    EXPECT_EQ(ControlText(w, 4009), before + "Reading Flash to file.\r\n" + failed + failed + "IO Error");
    EXPECT_TRUE(FileExists(dir + "XFlash.bit") && ReadFileText(dir + "XFlash.bit").empty());
    CloseLoader(loader);

    Start();
    ConfigureTool(dir, "FailWhen=:R:\r\nFailCode=-2\r\n");
    before = ControlText(w, 4009);
    Command(w, 4022);
    EXPECT_EQ(ControlText(w, 4009), before + "Reading Flash to file.\r\nXC3SProg processing.\r\nXC3SProg done.\r\n"
                                     "XC3SProg processing.\r\nXC3SProg failed with exit code -2.\r\nIO Error");
}

static LONG g_ctrlEvents = 0;
static BOOL WINAPI CountCtrlEvent(DWORD)
{
    return InterlockedIncrement(&g_ctrlEvents) > 0;  // handled, so this process keeps running
}

TEST_F(Advanced, ConsoleOpensBesideTheWindowShowsToolOutputAndSurvivesCtrlC)
{
    FreeConsole();  // otherwise Wine hands this process's console down to the loader
    Start();
    SetWindowPos(w, NULL, 100, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Click(4025);
    // Under Wine the console window belongs to conhost and has a class of its own: ask the console.
    ASSERT_TRUE(AttachConsole(loader.info.dwProcessId));
    HWND console = GetConsoleWindow();
    RECT placed = {}, again = {};
    GetWindowRect(console, &placed);
    EXPECT_EQ(std::make_pair(placed.left, placed.top), std::make_pair(730L, 50L));
    // Wine keeps the console to whole character cells, so its size may fall short by less than one cell.
    EXPECT_NEAR(placed.right - placed.left, 740, 16);
    EXPECT_NEAR(placed.bottom - placed.top, 488, 16);
    EXPECT_TRUE(IsWindowVisible(console));
    Click(4025);
    EXPECT_FALSE(IsWindowVisible(console));
    SetWindowPos(w, NULL, 300, 200, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    Click(4025);
    EXPECT_TRUE(IsWindowVisible(console));
    GetWindowRect(console, &again);
    EXPECT_EQ(std::make_pair(again.left, again.top), std::make_pair(placed.left, placed.top));

    SetDlgItemTextA(w, 4003, (dir + "design.bit").c_str());
    Command(w, 4001);
    HANDLE out = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    std::string screen(200 * 1000, ' ');  // more than the whole screen buffer: the read stops at its end
    DWORD read = 0;
    ReadConsoleOutputCharacterA(out, &screen[0], (DWORD)screen.size(), COORD{ 0, 0 }, &read);
    CloseHandle(out);
    screen.resize(read);
    EXPECT_NE(screen.find("Command line: xc3sprog.exe -c ftdi -v"), std::string::npos) << screen;

    SetConsoleCtrlHandler(CountCtrlEvent, TRUE);
    // Wine 8 refuses CTRL_BREAK_EVENT (ERROR_INVALID_HANDLE), so only Ctrl+C can be sent here.
    EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    EXPECT_TRUE(WaitFor([] { return g_ctrlEvents == 1; }));  // the loader, in the same group, got it too
    Sleep(500);
    SetConsoleCtrlHandler(CountCtrlEvent, FALSE);
    FreeConsole();
    EXPECT_EQ(WaitForSingleObject(loader.info.hProcess, 0), (DWORD)WAIT_TIMEOUT);
    EXPECT_NE(SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 3000, NULL), 0);
}

TEST_F(Advanced, AboutBoxIsModalClosesOnlyOnOkAndLeavesTheSettingsAlone)
{
    Start();
    std::string settings = ReadFileText(ini);
    PostMessageA(w, WM_COMMAND, 4005, 0);
    HWND about = FindProcessWindow(loader.info.dwProcessId, "#32770", 5000);
    ASSERT_NE(about, (HWND)NULL);
    EXPECT_EQ(WindowText(about), "About VLR Loader");
    EXPECT_EQ(GetWindow(about, GW_OWNER), w);
    EXPECT_FALSE(IsWindowEnabled(w));
    SendMessageA(about, WM_COMMAND, IDCANCEL, 0);
    SendMessageA(about, WM_CLOSE, 0, 0);
    EXPECT_FALSE(WaitFor([&] { return !IsWindow(about); }, 500));
    PostMessageA(about, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }));
    EXPECT_TRUE(IsWindowEnabled(w));
    EXPECT_EQ(ReadFileText(ini), settings);
}
