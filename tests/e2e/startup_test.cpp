// Start-up of the real program: Settings written before the window, exit codes, the saved position.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

TEST(Startup, WritesProgramDirectoryAndEmptyArgumentBeforeTheWindow)
{
    std::string dir = LayOutProgramDirectory("start-plain");
    LoaderProcess loader = StartLoader(dir);
    ASSERT_NE(loader.window, (HWND)NULL);
    std::string ini = dir + "VLR Loader.ini";
    EXPECT_EQ(IniRead(ini, "Directories", "DefDir"), dir);
    EXPECT_EQ(IniRead(ini, "Files", "AssociatedFile"), "");
    PostMessageA(loader.window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForExit(loader), 0u);
    CloseLoader(loader);
}
