// Start and end of the real program: Settings written at start, the argument, Load/Read enabling, exit codes, position.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

TEST(Startup, RecordsTheArgumentBeforeTheWindowAndTheExitCodeTellsCloseFromQuitAndEsc)
{
    // Also: Load and Read are enabled only when one cable is found. Esc goes to the focused "Quit"
    // button, as a key press would, so that the dialog's own key handling acts.
    const struct { std::string argument; bool withFile; int cables; UINT message; int target; WPARAM wParam;
                   DWORD exitCode; } cases[] = {
        {"", false, 0, WM_CLOSE, 0, 0, 0}, {"\"\"", false, 1, WM_COMMAND, 0, IDCANCEL, 1},
        {"\"<file>\"", true, 1, WM_KEYDOWN, IDCANCEL, VK_ESCAPE, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.argument);
        Session s("start-arg");
        ConfigureCables(s.dir, c.cables);
        ASSERT_TRUE(s.Start(c.withFile ? "\"" + s.bitstream + "\"" : c.argument));
        const std::string file = c.withFile ? s.bitstream : "", recorded = c.withFile ? file : "<missing>";
        EXPECT_EQ(IniValues(s.ini, {"Directories/DefDir", "Files/AssociatedFile", "Files/LastFile", "Files/DDList#1"}) +
                  "|" + ControlText(s.w, 4003) + "|" + std::to_string(IsControlEnabled(s.w, 4001)) +
                  std::to_string(IsControlEnabled(s.w, 4022)),
                  s.dir + "|" + file + "|" + recorded + "|" + recorded + "|" +
                  (c.withFile ? file : "INI not found!") + "|" + (c.cables ? "11" : "00"));
        PostMessageA(c.target ? GetDlgItem(s.w, c.target) : s.w, c.message, c.wParam, c.message == WM_KEYDOWN);
        EXPECT_EQ(s.WaitForExit(), c.exitCode);
    }
}

TEST(Startup, RestoresAndSavesThePosition)
{
    Session s("start-pos");
    WriteFileText(s.ini, "[DlgPosition]\r\nX=-8\r\nY=12\r\n");
    auto place = [&] { RECT r; GetWindowRect(s.w, &r); return std::to_string(r.left) + "," + std::to_string(r.top); };
    ASSERT_TRUE(s.Start());
    std::string seen = place() + " ";  // restored, saved after the move, restored at the next start
    SetWindowPos(s.w, NULL, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    seen += IniValues(s.ini, {"DlgPosition/X", "DlgPosition/Y"}) + " ";
    s.Close();
    ASSERT_TRUE(s.Start());
    EXPECT_EQ(seen + place(), "-8,12 40|30 40,30");
}
