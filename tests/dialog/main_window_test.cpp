// In-process tests of the Main window and the About box: initialisation, Status log, Recent-file list, pictures.
#include <gtest/gtest.h>

#include <algorithm>

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

struct MainWindow : ::testing::Test {
    std::string dir = MakeScratchDirectory("dialog"), ini = dir + "VLR Loader.ini";
    HWND window = NULL;

    void SetUp() override { SetEnvironmentVariableA("STANDIN_DIR", dir.c_str()); ConfigureCables(dir, 1, { "Cable A" }); }
    void TearDown() override { DestroyWindow(window); ResetLoaderState(); g_logRealloc = realloc; }
    // A fresh Main window on a fresh state, as at the start of a run.
    void Open()
    {
        DestroyWindow(window);
        ResetLoaderState();
        g_state.instance = GetModuleHandleA(NULL);
        lstrcpyA(g_state.programDirectory, dir.c_str());
        lstrcpyA(g_state.settingsPath, ini.c_str());
        window = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
        ASSERT_NE(window, (HWND)NULL);
    }
    RECT Rect(HWND w) { RECT r; GetWindowRect(w, &r); return r; }
    bool Checked(int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    void Click(int id) { SendDlgItemMessageA(window, id, BM_CLICK, 0, 0); }
    int Width(HWND w) { return Rect(w).right - Rect(w).left; }
    // The status box, the log's capacity and whether Load and Read are enabled.
    std::string Status() { return ControlText(window, IDC_STATUS) + "|" + std::to_string(g_state.logCapacity) +
                                  (IsControlEnabled(window, IDC_LOAD) ? "L" : "-") + (IsControlEnabled(window, IDC_READ) ? "R" : "-"); }
    void MouseAt(POINT p) { ScreenToClient(window, &p); SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y)); }
    int Picture()  // the one visible picture; -1 when several are visible
    {
        int shown = 0;
        for (int id : { 4015, 4017, 4018, 4019, 4032, 4033 })
            shown = IsControlVisible(window, id) ? (shown ? -1 : id) : shown;
        return shown;
    }
    // Recent-file entries 1 to count from the Settings file, then the combo box's rows.
    std::string Entries(int count)
    {
        std::string list;
        char row[PATH_CAPACITY];
        for (int i = 1; i <= count; ++i)
            list += IniRead(ini, "Files", ("DDList#" + std::to_string(i)).c_str()) + (i < count ? "," : "|");
        for (int i = 0; SendDlgItemMessageA(window, IDC_BITSTREAM_COMBO, CB_GETLBTEXT, i, (LPARAM)row) >= 0; ++i)
            list += (i ? "," : "") + std::string(row);
        return list;
    }
};

TEST_F(MainWindow, InitialisationRestoresControlsAndSettings)
{
    WriteFileText(ini, "[Files]\r\nLastFile=C:\\last.bit\r\n[Advanced]\r\n"
                       "Load_FPGA_after_loading_Flash=TRUE\r\nLoad_FPGA_after_reading_Flash=True\r\n");
    Open();
    EXPECT_TRUE(Checked(4012) && Checked(4023) && Checked(4026));
    EXPECT_FALSE(Checked(4013) || Checked(4014) || Checked(4024) || Checked(4027));
    Click(4027);
    std::string stored = IniRead(ini, "Advanced", "Load_FPGA_after_reading_Flash");
    Click(4027);
    EXPECT_EQ(stored + IniRead(ini, "Advanced", "Load_FPGA_after_reading_Flash") +
              IniRead(ini, "Advanced", "Load_FPGA_after_loading_Flash"), "TRUEFALSETRUE");
    g_state.firstShow = FALSE;  // a second window without the narrowing has the template's width
    HWND full = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    EXPECT_EQ(Width(window), Width(full) - 300);
    Click(IDC_ADVANCED);
    EXPECT_EQ(Width(window), Width(full));
    Click(IDC_ADVANCED);
    EXPECT_EQ(Width(window), Width(full) - 300);
    DestroyWindow(full);

    WriteFileText(ini, "[DlgPosition]\r\nX=abc\r\nY=7\r\n");
    Open();
    EXPECT_EQ(std::to_string(Rect(window).left) + "," + std::to_string(Rect(window).top) + ControlText(window, IDC_BITSTREAM_COMBO),
              "0,7INI not found!");
}

TEST_F(MainWindow, StatusLogReportsCablesAndSurvivesAllocationFailures)
{
    std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ", name63(63, 'd'), found1 = "Devices found: 1\r\nDevice name: ";
    struct { std::string driver, status; } cases[] = {
        { "Count=1\r\nDescription0=Cable A", found1 + "Cable A|500LR" }, { "Count=0", kAdvice + std::string("|400--") },
        { "Count=2\r\nDescription0=A\r\nFailDetailIndex=1", "Devices found: 2\r\nDevice name: A\r\nIO Error!|600LR" },
        { "Count=1\r\nCountStatus=1", "Devices found: IO Error!\r\n|400--" },
        { "Count=1\r\nDescription0=" + name63, found1 + name63 + "|500LR" },
        { "Count=1\r\nUnterminatedIndex=0", found1 + (letters + letters + letters).substr(0, 63) + "|500LR" },
    };
    for (const auto& c : cases) {
        WriteFileText(dir + "ftd2xx-standin.ini", "[Driver]\r\n" + c.driver + "\r\n");
        Open();
        EXPECT_EQ(Status(), c.status);
    }
    std::string before = g_state.logBuffer;  // the last case's log, in a capacity of 500
    g_logRealloc = [](void*, size_t) -> void* { return NULL; };
    GrowStatusLog(100);  // a failed growth keeps the old text and capacity; appends are cut to fit
    AppendStatusLog(std::string(600, 'x').c_str());
    EXPECT_EQ(g_state.logBuffer + std::to_string(g_state.logCapacity), before + std::string(499 - before.size(), 'x') + "500");
    Open();  // a start that obtains no buffer
    EXPECT_EQ(Status(), "Allocation Error!|0--");
}

TEST_F(MainWindow, RecentFilePushAndFill)
{
    // Entries A, B, P, E under a DDListMax; entry 6 tells whether empty entries were written.
    struct { const char* max; const char* path; const char* list; } cases[] = {
        { "", "P", "P,A,B,P,E,|P,A,B,P,E,,,,," }, { "", "a", "a,A,B,P,E,|a,A,B,P,E,,,,," },
        { "1", "X", "X,B,P,E,<missing>,<missing>|X" }, { "3", "X", "X,A,B,E,<missing>,<missing>|X,A,B" },
    };
    Open();
    for (const auto& c : cases) {
        WriteFileText(ini, std::string("[Files]\r\nDDList#1=A\r\nDDList#2=B\r\nDDList#3=P\r\nDDList#4=E\r\nDDListMax=") + c.max + "\r\n");
        lstrcpyA(g_state.bitstreamPath, c.path);
        PushRecentFile();
        FillRecentFileCombo(window);
        EXPECT_EQ(Entries(6), c.list) << c.max;
        std::string bytes = ReadFileText(ini);
        PushRecentFile();  // the path is entry 1 now: nothing is written
        EXPECT_EQ(ReadFileText(ini), bytes);
    }
}

TEST_F(MainWindow, PicturesFollowTheControls)
{
    Open();
    EXPECT_EQ(Picture(), 4015);
    struct { int click, picture; } steps[] = {
        { 4013, 4019 }, { 4014, 4018 }, { 4016, 4017 }, { 4024, 4033 }, { 4023, 4032 }, { 4016, 4018 }, { 4012, 4015 },
    };
    for (const auto& s : steps) {
        Click(s.click);
        EXPECT_EQ(Picture(), s.picture) << s.click;
        for (int id : { 4003, 4004, 4012, 4013, 4014 })
            EXPECT_EQ(IsControlEnabled(window, id), !Checked(4016)) << s.click << " " << id;
    }
    // The window is still narrow: a point near the group's left edge lies in the client area.
    RECT group = Rect(GetDlgItem(window, IDC_ADVANCED_GROUP)), frame = Rect(window);
    MouseAt({ group.left + 4, group.bottom - 20 });
    EXPECT_EQ(Picture(), 4032);
    Click(4013);
    MouseAt({ group.left + 5, group.bottom - 30 });
    EXPECT_EQ(Picture(), 4019);  // the hover picture shows on entry only
    Click(4024);
    MouseAt({ frame.left + 10, frame.bottom - 10 });
    EXPECT_EQ(Picture(), 4019);

    Click(4014);
    ConfigureCables(dir, 0);
    SendMessageA(window, WM_COMMAND, IDC_REFRESH, 0);
    EXPECT_EQ(std::to_string(Picture()) + std::to_string(Checked(4012)) + Status(), "40151" + std::string(kAdvice) + "|400--");
}

TEST(AboutBox, ClosesOnlyOnOkAndShowsTheText)
{
    HWND box = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutDialogProc, 0);
    std::string text = ControlText(box, IDC_ABOUT_TEXT);  // seven lines, no break after the last
    EXPECT_EQ(text.substr(0, 25) + std::to_string(std::count(text.begin(), text.end(), '\n')) + text.substr(text.size() - 10),
              "VLR Loader\r\nVersion 1.0\r\n6and others");
    EXPECT_EQ(GetWindowLongPtrA(box, GWL_STYLE) & WS_SYSMENU, 0);
    SendMessageA(box, WM_COMMAND, IDCANCEL, 0);  // Esc and close requests
    bool openAfterCancel = IsWindowVisible(box);
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(openAfterCancel && !IsWindowVisible(box));
    DestroyWindow(box);
}
