// In-process tests of the Main window and the About box: initialisation, Status log, Recent-file list, pictures.
#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "app/loader_state.h"
#include "app/recent_files.h"
#include "app/startup.h"
#include "ops/status_log.h"
#include "res/resource.h"
#include "ui/about_box.h"
#include "ui/main_dialog.h"

using namespace testing_support;

namespace {

const char kAdvice[] = "Devices found: 0\r\n\r\nMake sure your Vellora card is powered on "
                       "\r\nand the USB cable is connected to it and to the PC.\r\nThen press the Refresh button.";
const int kPictures[] = { 4015, 4017, 4018, 4019, 4032, 4033 };

void* FailingRealloc(void*, size_t) { return NULL; }

class MainWindow : public ::testing::Test {
protected:
    std::string dir, ini;
    HWND window = NULL;

    void SetUp() override
    {
        dir = MakeScratchDirectory("dialog");
        ini = dir + "VLR Loader.ini";
        SetEnvironmentVariableA("STANDIN_DIR", dir.c_str());
        ConfigureCables(dir, 1, { "Cable A" });
        RegisterLoaderClass(GetModuleHandleA(NULL));
        PrepareState();
    }
    void TearDown() override
    {
        if (window != NULL)
            DestroyWindow(window);
        ResetLoaderState();
    }
    void PrepareState()
    {
        ResetLoaderState();
        g_state.instance = GetModuleHandleA(NULL);
        strcpy(g_state.programDirectory, dir.c_str());
        strcpy(g_state.settingsPath, ini.c_str());
    }
    // A fresh Main window with a fresh state; the associated file survives like it does for a run.
    void Open(const char* associated = "")
    {
        if (window != NULL) {
            DestroyWindow(window);
            PrepareState();
        }
        strcpy(g_state.associatedFile, associated);
        window = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
        ASSERT_NE(window, (HWND)NULL);
    }
    RECT Rect(HWND w) { RECT r; GetWindowRect(w, &r); return r; }
    int Width() { RECT r = Rect(window); return r.right - r.left; }
    bool Checked(int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
    void Click(int id) { SendMessageA(GetDlgItem(window, id), BM_CLICK, 0, 0); }
    std::string Status() { return ControlText(window, IDC_STATUS); }
    bool OperationsEnabled()
    {
        EXPECT_EQ(IsControlEnabled(window, IDC_LOAD), IsControlEnabled(window, IDC_READ));
        return IsControlEnabled(window, IDC_LOAD);
    }
    // The one visible picture, 0 when none or several are visible.
    int Picture()
    {
        int shown = 0, count = 0;
        for (int id : kPictures)
            if (IsControlVisible(window, id))
                shown = id, ++count;
        return count == 1 ? shown : 0;
    }
    std::vector<std::string> Rows()
    {
        std::vector<std::string> rows;
        HWND combo = GetDlgItem(window, IDC_BITSTREAM_COMBO);
        char text[PATH_CAPACITY];
        for (LRESULT i = 0; i < SendMessageA(combo, CB_GETCOUNT, 0, 0); ++i) {
            SendMessageA(combo, CB_GETLBTEXT, i, (LPARAM)text);
            rows.push_back(text);
        }
        return rows;
    }
    void MouseAt(POINT screen)
    {
        ScreenToClient(window, &screen);
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(screen.x, screen.y));
    }
};

TEST_F(MainWindow, FirstInitialisationRestoresPositionControlsAndSettings)
{
    IniWrite(ini, "DlgPosition", "X", "-8");
    IniWrite(ini, "DlgPosition", "Y", "12");
    IniWrite(ini, "Files", "LastFile", "C:\\last.bit");
    IniWrite(ini, "Advanced", "Load_FPGA_after_loading_Flash", "TRUE");
    IniWrite(ini, "Advanced", "Load_FPGA_after_reading_Flash", "True");
    Open();
    RECT rect = Rect(window);
    EXPECT_EQ(rect.left, -8);
    EXPECT_EQ(rect.top, 12);
    EXPECT_TRUE(Checked(4012) && Checked(4023));
    EXPECT_FALSE(Checked(4013) || Checked(4014) || Checked(4024));
    EXPECT_TRUE(OperationsEnabled());
    EXPECT_EQ(ControlText(window, IDC_BITSTREAM_COMBO), "C:\\last.bit");
    EXPECT_TRUE(Checked(4026));
    EXPECT_FALSE(Checked(4027));
    EXPECT_EQ(g_state.logCapacity, 500u);
    EXPECT_EQ(Status(), "Devices found: 1\r\nDevice name: Cable A");

    Click(4027);
    EXPECT_EQ(IniRead(ini, "Advanced", "Load_FPGA_after_reading_Flash"), "TRUE");
    Click(4027);
    EXPECT_EQ(IniRead(ini, "Advanced", "Load_FPGA_after_reading_Flash"), "FALSE");
    EXPECT_EQ(IniRead(ini, "Advanced", "Load_FPGA_after_loading_Flash"), "TRUE");

    g_state.firstShow = FALSE;  // a second window without the narrowing shows the template's width
    HWND full = CreateDialogParamA(g_state.instance, MAKEINTRESOURCEA(IDD_MAIN), NULL, MainDialogProc, 0);
    RECT fullRect = Rect(full);
    DestroyWindow(full);
    EXPECT_EQ(rect.right - rect.left, fullRect.right - fullRect.left - 300);
}

TEST_F(MainWindow, WithoutSettingsOrCableShowsDefaultsAndAdvice)
{
    ConfigureCables(dir, 0);
    IniWrite(ini, "DlgPosition", "X", "abc");
    IniWrite(ini, "DlgPosition", "Y", "7");
    Open();
    EXPECT_EQ(Rect(window).left, 0);
    EXPECT_EQ(Rect(window).top, 7);
    EXPECT_EQ(ControlText(window, IDC_BITSTREAM_COMBO), "INI not found!");
    EXPECT_FALSE(OperationsEnabled());
    EXPECT_EQ(g_state.logCapacity, 400u);
    EXPECT_EQ(Status(), kAdvice);
}

TEST_F(MainWindow, AssociatedFileBecomesComboTextFirstEntryAndLastFile)
{
    IniWrite(ini, "Files", "LastFile", "C:\\last.bit");
    IniWrite(ini, "Advanced", "Load_FPGA_after_reading_Flash", "true");
    Open("C:\\my files\\top.bit");
    EXPECT_EQ(ControlText(window, IDC_BITSTREAM_COMBO), "C:\\my files\\top.bit");
    EXPECT_EQ(IniRead(ini, "Files", "DDList#1"), "C:\\my files\\top.bit");
    EXPECT_EQ(IniRead(ini, "Files", "LastFile"), "C:\\my files\\top.bit");
    EXPECT_EQ(Rows().size(), 10u);
    EXPECT_FALSE(Checked(4027));
}

TEST_F(MainWindow, CableDetectionReportsInTheStatusBox)
{
    std::string name63(63, 'd');
    std::string cut63;
    for (int i = 0; i < 63; ++i)
        cut63 += (char)('A' + i % 26);
    struct { int count; const char* key; std::string description; std::string status; DWORD capacity; bool enabled; }
        cases[] = {
        { 2, "FailDetailIndex", "A", "Devices found: 2\r\nDevice name: A\r\nIO Error!", 600, true },
        { 1, "CountStatus", "A", "Devices found: IO Error!\r\n", 400, false },
        { 1, NULL, name63, "Devices found: 1\r\nDevice name: " + name63, 500, true },
        { 1, "UnterminatedIndex", "A", "Devices found: 1\r\nDevice name: " + cut63, 500, true },
    };
    for (const auto& c : cases) {
        ConfigureCables(dir, c.count, { c.description });
        if (c.key != NULL)
            IniWrite(dir + "ftd2xx-standin.ini", "Driver", c.key, c.key[0] == 'U' ? "0" : "1");
        Open();
        EXPECT_EQ(Status(), c.status);
        EXPECT_EQ(g_state.logCapacity, c.capacity) << c.status;
        EXPECT_EQ(OperationsEnabled(), c.enabled) << c.status;
    }
}

TEST_F(MainWindow, RefreshRestartsTheLogAndRedetects)
{
    ConfigureCables(dir, 2, { "A", "B" });
    Open();
    Click(4014);
    ConfigureCables(dir, 0);
    Command(window, IDC_REFRESH);
    EXPECT_EQ(Status(), kAdvice);
    EXPECT_FALSE(OperationsEnabled());
    EXPECT_TRUE(Checked(4012) && !Checked(4014));
    EXPECT_EQ(Picture(), 4015);
}

TEST_F(MainWindow, StatusLogSurvivesAllocationFailures)
{
    g_logRealloc = FailingRealloc;
    Open();
    g_logRealloc = realloc;
    EXPECT_EQ(Status(), "Allocation Error!");
    EXPECT_FALSE(OperationsEnabled());

    Open();
    std::string before = g_state.logBuffer;
    g_logRealloc = FailingRealloc;
    GrowStatusLog(100);
    g_logRealloc = realloc;
    EXPECT_EQ(g_state.logCapacity, 500u);
    EXPECT_EQ(g_state.logBuffer, before);
    AppendStatusLog(std::string(600, 'x').c_str());
    EXPECT_EQ(strlen(g_state.logBuffer), 499u);
    EXPECT_EQ(std::string(g_state.logBuffer).substr(0, before.size()), before);
}

TEST_F(MainWindow, RecentFilePushMovesEntriesDown)
{
    Open();
    strcpy(g_state.bitstreamPath, "C:\\a.bit");
    PushRecentFile();
    FillRecentFileCombo(window);
    std::vector<std::string> rows = Rows();
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], "C:\\a.bit");
    for (int i = 2; i <= 10; ++i)
        EXPECT_EQ(IniRead(ini, "Files", ("DDList#" + std::to_string(i)).c_str()), "") << i;
    std::string bytes = ReadFileText(ini);
    PushRecentFile();
    EXPECT_EQ(ReadFileText(ini), bytes);
    strcpy(g_state.bitstreamPath, "C:\\A.bit");
    PushRecentFile();
    EXPECT_EQ(IniRead(ini, "Files", "DDList#2"), "C:\\a.bit");

    const char* names[] = { "A", "B", "P", "E" };
    for (int i = 0; i < 4; ++i)
        IniWrite(ini, "Files", ("DDList#" + std::to_string(i + 1)).c_str(), names[i]);
    strcpy(g_state.bitstreamPath, "P");
    PushRecentFile();
    FillRecentFileCombo(window);
    rows = Rows();
    EXPECT_EQ(std::vector<std::string>(rows.begin(), rows.begin() + 5),
              (std::vector<std::string>{ "P", "A", "B", "P", "E" }));
}

TEST_F(MainWindow, RecentFileCapacityFollowsDDListMax)
{
    struct { const char* max; size_t rows; const char* entries; } cases[] = {
        { "1", 1, "X,B,C,D,E" }, { "3", 3, "X,A,B,D,E" }, { "0", 10, "X,A,B,C,D" },
        { "-5", 10, "X,A,B,C,D" }, { "abc", 10, "X,A,B,C,D" }, { "99999", 9999, "X,A,B,C,D" },
    };
    Open();
    for (const auto& c : cases) {
        const char* names[] = { "A", "B", "C", "D", "E" };
        for (int i = 0; i < 5; ++i)
            IniWrite(ini, "Files", ("DDList#" + std::to_string(i + 1)).c_str(), names[i]);
        IniWrite(ini, "Files", "DDListMax", c.max);
        strcpy(g_state.bitstreamPath, "X");
        PushRecentFile();
        FillRecentFileCombo(window);
        EXPECT_EQ(Rows().size(), c.rows) << c.max;
        std::string entries;
        for (int i = 1; i <= 5; ++i)
            entries += (i > 1 ? "," : "") + IniRead(ini, "Files", ("DDList#" + std::to_string(i)).c_str());
        EXPECT_EQ(entries, c.entries) << c.max;
    }
}

TEST_F(MainWindow, AdvancedPanelGrowsAndShrinksBy300)
{
    Open();
    int narrow = Width();
    Click(IDC_ADVANCED);
    EXPECT_EQ(Width(), narrow + 300);
    Click(IDC_ADVANCED);
    EXPECT_EQ(Width(), narrow);
}

TEST_F(MainWindow, ExactlyOnePictureFollowsTheDestination)
{
    Open();
    EXPECT_EQ(Picture(), 4015);
    struct { int click; int picture; } steps[] = {
        { 4013, 4019 }, { 4014, 4018 }, { 4016, 4017 }, { 4024, 4033 }, { 4023, 4032 }, { 4016, 4018 }, { 4012, 4015 },
    };
    for (const auto& s : steps) {
        Click(s.click);
        EXPECT_EQ(Picture(), s.picture) << s.click;
        bool fromFlash = Checked(4016);
        for (int id : { 4003, 4004, 4012, 4013, 4014 })
            EXPECT_EQ(IsControlEnabled(window, id), !fromFlash) << s.click << " " << id;
    }
    RECT group = Rect(GetDlgItem(window, IDC_ADVANCED_GROUP));
    MouseAt({ group.left + 4, group.bottom - 20 });
    EXPECT_EQ(Picture(), 4032);
    Click(4024);
    MouseAt({ group.left + 5, group.bottom - 30 });
    EXPECT_EQ(Picture(), 4033);  // shown on entry only
    RECT frame = Rect(window);
    MouseAt({ frame.left + 10, frame.bottom - 10 });
    EXPECT_EQ(Picture(), 4015);
}

TEST(AboutBox, ClosesOnlyOnOkAndShowsTheText)
{
    HWND box = CreateDialogParamA(GetModuleHandleA(NULL), MAKEINTRESOURCEA(IDD_ABOUT), NULL, AboutDialogProc, 0);
    ASSERT_NE(box, (HWND)NULL);
    EXPECT_EQ(GetWindowLongPtrA(box, GWL_STYLE) & WS_SYSMENU, 0);
    std::string text = ControlText(box, IDC_ABOUT_TEXT);
    EXPECT_EQ(text.substr(0, 25), "VLR Loader\r\nVersion 1.0\r\n");
    size_t lines = 1;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2))
        ++lines;
    EXPECT_EQ(lines, 7u);
    EXPECT_NE(text.substr(text.size() - 2), "\r\n");
    SendMessageA(box, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(IsWindowVisible(box));
    SendMessageA(box, WM_COMMAND, IDOK, 0);
    EXPECT_FALSE(IsWindowVisible(box));
    DestroyWindow(box);
}

}  // namespace
