// The file chooser, Read flash to file and the About box, driven in the real program.
#include <gtest/gtest.h>

#include <algorithm>
#include <string.h>

#include "test_support.h"

using namespace testing_support;

// Sends the Main window a command that opens a dialog, and finds the dialog.
static HWND OpenDialog(const Session& s, int command)
{ PostMessageA(s.w, WM_COMMAND, command, 0); return FindProcessWindow(s.process.dwProcessId, "#32770", 5000); }

// Opens the chooser, types a name into the Open dialog and presses OK or Cancel; returns the name it offered
// at first.
static std::string Choose(const Session& s, const std::string& typed, int button)
{
    HWND dialog = OpenDialog(s, 4004);
    // The file name field: edt1, or the edit inside cmb13 (a ComboBoxEx holding a ComboBox under Wine).
    HWND edit = GetDlgItem(dialog, 0x0480), combo = GetDlgItem(dialog, 0x047C);
    for (; edit == NULL && combo != NULL; combo = GetWindow(combo, GW_CHILD))
        edit = FindWindowExA(combo, NULL, "Edit", NULL);
    std::string offered = WindowText(edit);
    EXPECT_TRUE(edit != NULL && WindowText(dialog) == "Select file bitstream: ") << WindowText(dialog);
    SendMessageA(edit, WM_SETTEXT, 0, (LPARAM)typed.c_str());
    PostMessageA(dialog, WM_COMMAND, button, 0);
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
    WindowText(s.w);  // the chooser has finished once the window answers again
    return offered;
}

// The About box is modal, closes only on OK and leaves the settings alone; the chooser records the chosen file
// and a Cancel changes nothing.
TEST(Advanced, AboutBoxClosesOnlyOnOkAndChooserRecordsTheChosenFile)
{
    Session s("adv-choose");
    ASSERT_TRUE(s.Start());
    std::string settings = ReadFileText(s.ini);
    HWND about = OpenDialog(s, 4005);
    ASSERT_NE(about, (HWND)NULL);
    std::string text = ControlText(about, 4001);  // seven lines, no break after the last
    EXPECT_EQ(WindowText(about) + "|" + text.substr(0, 25) + std::to_string(std::count(text.begin(), text.end(), '\n')) +
              text.substr(text.size() - 10), "About VLR Loader|VLR Loader\r\nVersion 1.0\r\n6and others");
    // Modal, owned by the Main window, and without the system menu's close command.
    EXPECT_TRUE(GetWindow(about, GW_OWNER) == s.w && !IsWindowEnabled(s.w) && !(GetWindowLongPtrA(about, GWL_STYLE) & WS_SYSMENU));
    SendMessageA(about, WM_COMMAND, IDCANCEL, 0);  // Esc
    SendMessageA(about, WM_CLOSE, 0, 0);
    EXPECT_FALSE(WaitFor([&] { return !IsWindow(about); }, 500));
    for (WPARAM key : { VK_RETURN, VK_SPACE }) {  // keys on the focused "OK", as the keyboard sends them
        about = key == VK_RETURN ? about : OpenDialog(s, 4005);
        PostMessageA(GetDlgItem(about, IDOK), WM_KEYDOWN, key, 1);
        PostMessageA(GetDlgItem(about, IDOK), WM_KEYUP, key, 0xC0000001);
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(about); }) && IsWindowEnabled(s.w)) << key;
    }
    EXPECT_EQ(ReadFileText(s.ini), settings);

    const std::string design = s.dir + "design.bit", other = s.dir + "other.bit";
    // "other" too: Wine's dialog checks the typed name before adding the extension.
    for (const char* name : { "design.bit", "other.bit", "other" }) WriteFileText(s.dir + name, "B");
    // The last file "INI not found!" is offered; a name typed into the box gives way.
    SetDlgItemTextA(s.w, 4003, "typed by hand.bit");
    std::string initial = Choose(s, design, IDOK);
    EXPECT_EQ(initial + "|" + ControlText(s.w, 4003) + "|" + IniValues(s.ini, {"Files/LastFile", "Files/LastFileTitle", "Files/DDList#1"}),
              "INI not found!|" + design + "|" + design + "|design.bit|" + design);
    Choose(s, "other", IDOK);
    EXPECT_EQ(ControlText(s.w, 4003) + "|" + IniValues(s.ini, {"Files/LastFileTitle"}), other + "|other.bit");
    SetDlgItemTextA(s.w, 4003, "typed by hand.bit");  // a cancel leaves even a name typed meanwhile
    Choose(s, design, IDCANCEL);
    EXPECT_EQ(ControlText(s.w, 4003) + "|" + IniValues(s.ini, {"Files/LastFile"}), "typed by hand.bit|" + other);
}

// The names in a folder, without the tool stand-in's logs.
static std::string Listing(const std::string& dir)
{
    std::string names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        names += !strncmp(found.cFileName, "xc3sprog-", 9) && strstr(found.cFileName, ".log") ? "" : std::string(found.cFileName) + "|";
    FindClose(search);
    return names;
}

static const std::string kEarlier("OLD\0\r\nCONTENT", 13);  // the last good read, byte for byte

TEST(Advanced, ReadRunsTheToolInTheProgramDirectoryReportsTheOutcomeAndKeepsTheLastGoodFile)
{
    const std::string ok = "XC3SProg processing.\r\nXC3SProg done.\r\n", tool = " xc3sprog.exe -c ftdi -v ";
    const std::string missing = "XC3SProg processing.\r\nRun XC3SProg failed!\r\n", failed = "XC3SProg processing.\r\nXC3SProg failed with exit code ";
    const char* partial = "[When1]\r\nMatch=:R:\r\nExitCode=3\r\nReadContent=PARTIAL\r\n";
    // The read file holds the last good read before the Read, unless missing takes it or another file out of
    // the Program directory; locked: another program holds it open. runs: how many of helper, read and
    // load-back ran. A failed Read ends the log without a line break, and leaves the read file as it was.
    const struct { bool external, loadBack; const char* missing; bool locked; const char* toolSettings;
                   std::string log; size_t runs; std::string content; } cases[] = {
        {true, true, "", false, "", ok + ok + "External Flash loaded into XFlash.bit\r\n" + ok, 3, "FLASHDATA"},
        {true, false, "xc3sprog.exe", false, "", missing + "IO Error", 0, kEarlier},
        {false, false, "IFlash.bit", false, "FailWhen=:R:\r\nFailCode=-2\r\n", ok + failed + "-2.\r\nIO Error", 2, "-"},
        {true, true, "", false, partial, ok + failed + "3.\r\nIO Error", 2, kEarlier},  // nothing loaded back
        {false, true, "", false, "FailWhen=xc3s400an\r\n", failed + "1.\r\nIO Error", 1, kEarlier},
        {false, false, "xc3s400an.bit", false, "", "Helper bitstream xc3s400an.bit not found in the program folder.\r\nIO Error", 0, kEarlier},
        {true, false, "", true, "", "XFlash.bit could not be set aside; it is left as it was.\r\nIO Error", 0, kEarlier},
    };
    for (const auto& c : cases) {
        const std::string file = c.external ? "XFlash.bit" : "IFlash.bit";
        SCOPED_TRACE(file + ": " + c.log);
        Session s("adv-read");
        ConfigureTool(s.dir, c.toolSettings);
        WriteFileText(s.dir + file, kEarlier);
        DeleteFileA((s.dir + c.missing).c_str());
        ASSERT_TRUE(s.Start("", MakeScratchDirectory("elsewhere")));
        // The other source first, to show its picture before the Read.
        for (int id : { c.external ? 4024 : 4023, c.external ? 4023 : 4024, c.loadBack ? 4027 : 0 }) Click(s.w, id);
        std::string before = ControlText(s.w, 4009), files = Listing(s.dir);
        HANDLE held = c.locked ? CreateFileA((s.dir + file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                             OPEN_EXISTING, 0, NULL) : INVALID_HANDLE_VALUE;
        Command(s.w, 4022);
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        EXPECT_EQ(ControlText(s.w, 4009), before + "Reading Flash to file.\r\n" + c.log);
        // Each run as "<its current directory>\ <command line>".
        std::vector<std::string> expected = { s.dir + tool + (c.external ? "vlrext" : "xc3s400an") + ".bit:w",
                                              s.dir + tool + "-I " + file + ":R:0:BIT:236000", s.dir + tool + file + ":w" }, runs;
        expected.resize(c.runs);
        for (const ToolCall& call : ReadToolCalls(s.dir)) runs.push_back(call.directory + "\\ " + call.commandLine);
        EXPECT_EQ(runs, expected);
        // The read file and nothing else new; Read is enabled; of the pictures only the Load destination's shows.
        std::string seen = (GetFileAttributesA((s.dir + file).c_str()) != INVALID_FILE_ATTRIBUTES ? ReadFileText(s.dir + file) : "-") +
                           "|" + Listing(s.dir) + "|";
        for (int id : { 4022, 4015, 4017, 4018, 4019, 4032, 4033 })
            seen += std::to_string(id == 4022 ? IsControlEnabled(s.w, id) : IsControlVisible(s.w, id));
        EXPECT_EQ(seen, c.content + "|" + files + "|1100000");
    }
}

// Ended during its read, as by Task Manager, a Read leaves the earlier file under the name README.txt gives;
// the next Read keeps that content rather than what the cut-off read left, and puts it back when it fails.
TEST(Advanced, ReadCutOffByTheProgramsEndLeavesTheEarlierFileAside)
{
    Session s("adv-read-cut");
    WriteFileText(s.dir + "XFlash.bit", kEarlier);
    ConfigureTool(s.dir, "[When1]\r\nMatch=:R:\r\nWaitMs=1500\r\nReadContent=CUT\r\n");
    ASSERT_TRUE(s.Start());
    std::string files = Listing(s.dir);
    PostMessageA(s.w, WM_COMMAND, 4022, 0);
    ASSERT_TRUE(WaitFor([&] { return ReadFileText(s.dir + "xc3sprog-started.log").find(":R:") != std::string::npos; }));
    HANDLE tool = OpenToolProcess(s.process.dwProcessId);
    s.Close();
    // The read ends with the program, never to its end: the file holds what the tool had written so far.
    EXPECT_TRUE(tool != NULL && WaitForSingleObject(tool, 2000) == WAIT_OBJECT_0 && ReadToolCalls(s.dir).size() == 1);
    CloseHandle(tool);
    EXPECT_EQ(ReadFileText(s.dir + "XFlash.bit") + "|" + ReadFileText(s.dir + "XFlash (last good read).bit"), "CUT|" + kEarlier);
    ConfigureTool(s.dir, "[When1]\r\nMatch=:R:\r\nExitCode=3\r\nReadContent=PARTIAL\r\n");
    ASSERT_TRUE(s.Start());
    Command(s.w, 4022);
    EXPECT_EQ(ReadFileText(s.dir + "XFlash.bit") + "|" + Listing(s.dir), kEarlier + "|" + files);
}
