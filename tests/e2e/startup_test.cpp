// Start-up of the real program: Settings written at start, the argument, exit codes, position, cable report.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

TEST(Startup, RecordsProgramDirectoryAndArgumentBeforeTheWindow)
{
    std::string dir = LayOutProgramDirectory("start-arg");
    std::string ini = dir + "VLR Loader.ini";
    std::string path = dir + "my designs\\top.bit";
    const struct { std::string argument, associated; } cases[] = {
        {"", ""}, {"\"\"", ""}, {"\"" + path + "\"", path}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        DeleteFileA(ini.c_str());
        LoaderProcess loader = StartLoader(dir, c.argument);
        ASSERT_NE(loader.window, (HWND)NULL);
        bool none = c.associated.empty();
        EXPECT_EQ(IniRead(ini, "Directories", "DefDir"), dir);
        EXPECT_EQ(IniRead(ini, "Files", "AssociatedFile"), c.associated);
        EXPECT_EQ(IniRead(ini, "Files", "LastFile"), none ? "<missing>" : path);
        EXPECT_EQ(IniRead(ini, "Files", "DDList#1"), none ? "<missing>" : path);
        EXPECT_EQ(ControlText(loader.window, 4003), none ? "INI not found!" : path);
        CloseLoader(loader);
    }
}

TEST(Startup, ExitCodeTellsTheCloseCommandFromQuitAndEsc)
{
    std::string dir = LayOutProgramDirectory("start-exit");
    const struct { UINT message; int target; WPARAM wParam; DWORD exitCode; } cases[] = {
        {WM_CLOSE, 0, 0, 0}, {WM_COMMAND, 0, IDCANCEL, 1}, {WM_KEYDOWN, IDCANCEL, VK_ESCAPE, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        LoaderProcess loader = StartLoader(dir);
        ASSERT_NE(loader.window, (HWND)NULL);
        // Esc goes to the focused "Quit" button, as a key press would, so the dialog's own key handling acts.
        HWND target = c.target ? GetDlgItem(loader.window, c.target) : loader.window;
        PostMessageA(target, c.message, c.wParam, c.message == WM_KEYDOWN ? 1 : 0);
        EXPECT_EQ(WaitForExit(loader), c.exitCode);
        CloseLoader(loader);
    }
}

TEST(Startup, RestoresAndSavesThePositionAndOpensNarrowed)
{
    std::string dir = LayOutProgramDirectory("start-pos");
    std::string ini = dir + "VLR Loader.ini";
    IniWrite(ini, "DlgPosition", "X", "-8");
    IniWrite(ini, "DlgPosition", "Y", "12");
    LoaderProcess loader = StartLoader(dir);
    ASSERT_NE(loader.window, (HWND)NULL);
    RECT narrow, wide, again;
    GetWindowRect(loader.window, &narrow);
    EXPECT_EQ(narrow.left, -8);
    EXPECT_EQ(narrow.top, 12);
    SendMessageA(GetDlgItem(loader.window, 4007), BM_CLICK, 0, 0);
    GetWindowRect(loader.window, &wide);
    EXPECT_EQ(wide.right - wide.left, narrow.right - narrow.left + 300);
    SetWindowPos(loader.window, NULL, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    EXPECT_EQ(IniRead(ini, "DlgPosition", "X"), "40");
    EXPECT_EQ(IniRead(ini, "DlgPosition", "Y"), "30");
    CloseLoader(loader);

    loader = StartLoader(dir);
    ASSERT_NE(loader.window, (HWND)NULL);
    GetWindowRect(loader.window, &again);
    EXPECT_EQ(again.left, 40);
    EXPECT_EQ(again.top, 30);
    EXPECT_EQ(again.right - again.left, narrow.right - narrow.left);
    CloseLoader(loader);
}

TEST(Startup, ReportsTheCablesAndEnablesLoadAndReadOnlyWhenOneIsFound)
{
    std::string dir = LayOutProgramDirectory("start-cable");
    const struct { int count; const char* report; bool enabled; } cases[] = {
        {0, "Devices found: 0\r\n\r\nMake sure your Vellora card is powered on \r\nand the USB cable is "
            "connected to it and to the PC.\r\nThen press the Refresh button.", false},
        {1, "Devices found: 1\r\nDevice name: X", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        ConfigureCables(dir, c.count, {"X"});
        LoaderProcess loader = StartLoader(dir);
        ASSERT_NE(loader.window, (HWND)NULL);
        EXPECT_EQ(ControlText(loader.window, 4009), c.report);
        EXPECT_EQ(IsControlEnabled(loader.window, 4001), c.enabled);
        EXPECT_EQ(IsControlEnabled(loader.window, 4022), c.enabled);
        CloseLoader(loader);
    }
}
