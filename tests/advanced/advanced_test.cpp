// The file chooser, Read flash to file, the Tool console and the About box, driven in the real program.
#include <gtest/gtest.h>

#include <functional>

#include "test_support.h"

using namespace testing_support;

static bool WaitFor(const std::function<bool()>& condition, DWORD ms = 5000)
{
    DWORD started = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - started > ms)
            return false;
        Sleep(20);
    }
    return true;
}

static std::string VisiblePictures(HWND w)
{
    std::string shown;
    for (int id : { 4015, 4017, 4018, 4019, 4032, 4033 })
        if (IsControlVisible(w, id))
            shown += std::to_string(id) + " ";
    return shown;
}

// The Open dialog's file name field: edt1, or the edit inside cmb13 (nested in a ComboBoxEx under Wine).
static BOOL CALLBACK FileNameEdit(HWND child, LPARAM found)
{
    char name[16];
    int id = GetDlgCtrlID(child);
    if (GetClassNameA(child, name, sizeof name) && lstrcmpiA(name, "Edit") == 0 && (id == 0x047C || id == 0x0480))
        *(HWND*)found = child;
    return *(HWND*)found == NULL;
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
        w = loader.window;
        ASSERT_NE(w, (HWND)NULL);
    }
    void TearDown() override { CloseLoader(loader); }
    void Click(int id) { SendMessageA(GetDlgItem(w, id), BM_CLICK, 0, 0); }
    DWORD Pid() const { return loader.info.dwProcessId; }

    // Opens the chooser, types a name into the Open dialog and presses OK or Cancel.
    void Choose(const std::string& typed, int button)
    {
        PostMessageA(w, WM_COMMAND, 4004, 0);
        HWND dialog = FindProcessWindow(Pid(), "#32770", 5000);
        ASSERT_NE(dialog, (HWND)NULL);
        EXPECT_EQ(WindowText(dialog), "Select file bitstream: ");
        HWND edit = NULL;
        EnumChildWindows(dialog, FileNameEdit, (LPARAM)&edit);
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
    Choose(dir + "design.bit", IDOK);
    EXPECT_EQ(ControlText(w, 4003), dir + "design.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFile"), dir + "design.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFileTitle"), "design.bit");
    EXPECT_EQ(IniRead(ini, "Files", "DDList#1"), dir + "design.bit");
    Choose(dir + "other", IDOK);
    EXPECT_EQ(ControlText(w, 4003), dir + "other.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFileTitle"), "other.bit");
    EXPECT_EQ(IniRead(ini, "Files", "DDList#2"), dir + "design.bit");
    Choose(dir + "design.bit", IDCANCEL);
    EXPECT_EQ(ControlText(w, 4003), dir + "other.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFile"), dir + "other.bit");
}
