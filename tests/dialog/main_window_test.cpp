// In-process tests of the Main window: initialisation, Status log, Recent-file list, pictures.
#include <gtest/gtest.h>

#include "test_support.h"
#include "app/loader_state.h"
#include "app/recent_files.h"
#include "app/startup.h"
#include "ops/status_log.h"
#include "res/resource.h"
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
    // Recent-file entries 1 to 6 from the Settings file, then the combo box's rows.
    std::string Entries()
    {
        std::string list = IniValues(ini, {"Files/DDList#1", "Files/DDList#2", "Files/DDList#3", "Files/DDList#4",
                                           "Files/DDList#5", "Files/DDList#6"}) + " -> ";
        char row[PATH_CAPACITY];
        for (int i = 0; SendDlgItemMessageA(window, IDC_BITSTREAM_COMBO, CB_GETLBTEXT, i, (LPARAM)row) >= 0; ++i)
            list += (i ? "," : "") + std::string(row);
        return list;
    }
};

TEST_F(MainWindow, InitialisationRestoresControlsAndSettings)
{
    WriteFileText(ini, "[Files]\r\nLastFile=C:\\last.bit\r\n[DlgPosition]\r\nX=abc\r\nY=7\r\n[Advanced]\r\n"
                       "Load_FPGA_after_loading_Flash=TRUE\r\nLoad_FPGA_after_reading_Flash=True\r\n");
    Open();
    // The position (a junk X counts as 0), the box, the radios and check boxes: only the exact "TRUE" sets one.
    std::string seen = std::to_string(Rect(window).left) + "," + std::to_string(Rect(window).top) + " " +
                       ControlText(window, IDC_BITSTREAM_COMBO) + " ";
    for (int id : { 4012, 4013, 4014, 4023, 4024, 4026, 4027 })
        seen += std::to_string(IsDlgButtonChecked(window, id));
    EXPECT_EQ(seen, "0,7 C:\\last.bit 1001010");
    Click(window, 4027);
    std::string stored = IniValues(ini, {"Advanced/Load_FPGA_after_reading_Flash"});
    Click(window, 4027);
    EXPECT_EQ(stored + "|" + IniValues(ini, {"Advanced/Load_FPGA_after_reading_Flash", "Advanced/Load_FPGA_after_loading_Flash"}),
              "TRUE|FALSE|TRUE");
    g_state.firstShow = FALSE;  // a second window without the narrowing has the template's width
    HWND full = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    std::string narrowedBy;  // at the start, after "Advanced >>" and after a second click
    for (int i = 0; i < 3; ++i, Click(window, IDC_ADVANCED))
        narrowedBy += std::to_string(Rect(full).right - Rect(full).left - Rect(window).right + Rect(window).left) + " ";
    EXPECT_EQ(narrowedBy, "300 0 300 ");
    DestroyWindow(full);
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
        seen += " " + std::to_string(Picture()) + ":";
        for (int id : { 4003, 4004, 4012, 4013, 4014 })
            seen += std::to_string(IsControlEnabled(window, id));
    }
    EXPECT_EQ(seen, "4015 4019:11111 4018:11111 4017:00000 4033:00000 4032:00000 4018:11111 4015:11111");
    // The window is still narrow: a point near the group's left edge lies in the client area.
    RECT group = Rect(GetDlgItem(window, IDC_ADVANCED_GROUP)), frame = Rect(window);
    MouseAt({ group.left + 4, group.bottom - 20 });
    EXPECT_EQ(Picture(), 4032);
    Click(window, 4013);
    MouseAt({ group.left + 5, group.bottom - 30 });
    EXPECT_EQ(Picture(), 4019);  // the hover picture shows on entry only
    Click(window, 4024);
    MouseAt({ frame.left + 10, frame.bottom - 10 });
    EXPECT_EQ(Picture(), 4019);

    Click(window, 4014);
    ConfigureCables(dir, 0);
    SendMessageA(window, WM_COMMAND, IDC_REFRESH, 0);
    EXPECT_EQ(std::to_string(Picture()) + std::to_string(IsDlgButtonChecked(window, 4012)) + Status(), "40151" + std::string(kAdvice) + "|400--");
}
