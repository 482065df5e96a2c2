// The real program's Load command: the tool's command lines, folder and pauses, the report, the recording.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

static const std::string kReport = "Devices found: 1\r\nDevice name: X";
static const std::string kTool = "xc3sprog.exe -c ftdi -v ";
static const std::string kRun = "XC3SProg processing.\r\nXC3SProg done.\r\n";
static const std::string kLoaded = kRun + "top.bit loaded into FPGA\r\n";

// A running loader with one cable "X" and "my designs\top.bit" in its Program directory. It is started
// from another folder, so that only the Load command can make the Program directory current.
struct Session {
    std::string dir, ini, bitstream;
    LoaderProcess loader;
    HWND window;
    explicit Session(const char* tag, bool withTool = true, const std::string& toolSettings = "")
        : dir(LayOutProgramDirectory(tag, withTool)), ini(dir + "VLR Loader.ini"),
          bitstream(dir + "my designs\\top.bit")
    {
        ConfigureCables(dir, 1, {"X"});
        ConfigureTool(dir, toolSettings);
        CreateDirectoryA((dir + "my designs").c_str(), NULL);
        WriteFileText(bitstream, "bits");
        loader = StartLoader(dir, "", MakeScratchDirectory("elsewhere"));
        window = loader.window;
    }
    ~Session() { CloseLoader(loader); }
};

// Types name into the bitstream combo box and presses "Load"; returns the time at which the command had
// ended, in milliseconds on the clock of the tool stand-in's log.
static long long Load(const Session& s, const std::string& name)
{
    SendMessageA(GetDlgItem(s.window, 4003), WM_SETTEXT, 0, (LPARAM)name.c_str());
    Command(s.window, 4001);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (long long)((((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime) / 10000);
}

TEST(Load, EachBranchRunsItsCommandLinesFromTheProgramDirectoryAndReports)
{
    const std::string waitI = "Waiting for internal flash to be loaded.\r\n";
    const std::string waitX = "Waiting for external flash to be loaded.\r\n";
    const std::string ioError = "IO Error\r\n";
    // "<file>" stands for the quoted bitstream path with ":w"; pauses: 1 = after the helper, 2 = also after the write.
    const struct {
        const char* name; bool withTool; const char* toolSettings; int destination; bool fpgaAfter, fromFlash;
        std::vector<std::string> calls; std::string lines; int pauses;
    } cases[] = {
        {"fpga", true, "", 4012, false, false, {"<file>"}, kLoaded, 0},
        {"internal", true, "", 4014, false, false, {"xc3s400an.bit:w", "-I <file>"},
         waitI + kRun + kRun + "Internal Flash loaded.\r\n", 2},
        {"external", true, "", 4013, false, false, {"vlrext.bit:w", "-I <file>"},
         waitX + kRun + kRun + "External Flash loaded.\r\n", 2},
        {"internal, then fpga", true, "", 4014, true, false, {"xc3s400an.bit:w", "-I <file>", "-R"},
         waitI + kRun + kRun + "Internal Flash loaded.\r\n" + kRun, 2},
        {"external, then fpga", true, "", 4013, true, false, {"vlrext.bit:w", "-I <file>", "-R"},
         waitX + kRun + kRun + "External Flash loaded.\r\n" + kRun, 2},
        {"fpga from flash", true, "", 4013, false, true, {"-R"}, kRun + "Flash loaded into FPGA\r\n", 0},
        {"no tool", false, "", 4012, false, false, {},
         "XC3SProg processing.\r\nRun XC3SProg failed!\r\n" + ioError, 0},
        {"tool fails", true, "ExitCode=3\r\n", 4012, false, false, {"<file>"},
         "XC3SProg processing.\r\nXC3SProg failed with exit code 3.\r\n" + ioError, 0},
        {"flash write fails", true, "FailWhen=-I\r\n", 4014, true, false, {"xc3s400an.bit:w", "-I <file>", "-R"},
         waitI + kRun + "XC3SProg processing.\r\nXC3SProg failed with exit code 1.\r\n" + ioError + kRun, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Session s("load-branch", c.withTool, c.toolSettings);
        ASSERT_NE(s.window, (HWND)NULL);
        // Clicked as a user would: the radio first, since "Load FPGA from Flash" disables the radios.
        for (int id : {c.destination, c.fpgaAfter ? 4026 : 0, c.fromFlash ? 4016 : 0})
            SendMessageA(GetDlgItem(s.window, id), BM_CLICK, 0, 0);
        long long finished = Load(s, s.bitstream);

        std::vector<ToolCall> calls = ReadToolCalls(s.dir);
        EXPECT_EQ(calls.size(), c.calls.size());
        for (size_t i = 0; i < calls.size() && i < c.calls.size(); ++i) {
            std::string expected = c.calls[i];
            size_t file = expected.find("<file>");
            if (file != std::string::npos)
                expected.replace(file, 6, "\"" + s.bitstream + "\":w");
            EXPECT_EQ(calls[i].commandLine, kTool + expected);
            std::string folder = calls[i].directory;
            folder += (folder.empty() || folder.back() != '\\') ? "\\" : "";
            EXPECT_EQ(lstrcmpiA(folder.c_str(), s.dir.c_str()), 0) << folder;
        }
        if (c.pauses >= 1 && calls.size() >= 2) {
            EXPECT_GE((long long)calls[1].startMs - (long long)calls[0].endMs, 40);
            long long afterWrite = (calls.size() > 2 ? (long long)calls[2].startMs : finished) - calls[1].endMs;
            EXPECT_TRUE(c.pauses < 2 || afterWrite >= 90) << afterWrite;
        }
        EXPECT_EQ(ControlText(s.window, 4009), kReport + "\r\n" + c.lines);
        EXPECT_TRUE(IsControlEnabled(s.window, 4001));
        EXPECT_EQ(ControlText(s.window, 4003), s.bitstream);
        EXPECT_EQ(IniRead(s.ini, "Files", "LastFile"), s.bitstream);
        EXPECT_EQ(IniRead(s.ini, "Files", "DDList#1"), s.bitstream);
    }
}

TEST(Load, MissingFileOnlyReplacesTheBoxAndRelativeNamesReachTheToolAsTyped)
{
    Session s("load-names");
    ASSERT_NE(s.window, (HWND)NULL);
    Load(s, s.bitstream);
    Load(s, s.dir + "missing.bit");
    EXPECT_EQ(ControlText(s.window, 4009), "File not found!\r\n");
    EXPECT_EQ(ReadToolCalls(s.dir).size(), 1u);
    EXPECT_EQ(IniRead(s.ini, "Files", "LastFile"), s.bitstream);
    EXPECT_EQ(IniRead(s.ini, "Files", "DDList#1"), s.bitstream);
    EXPECT_TRUE(IsControlEnabled(s.window, 4001));

    WriteFileText(s.dir + "top.bit", "bits");
    Load(s, "top.bit");
    EXPECT_EQ(ControlText(s.window, 4009), kReport + "\r\n" + kLoaded + "\r\n" + kLoaded);
    std::vector<ToolCall> calls = ReadToolCalls(s.dir);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].commandLine, kTool + "\"top.bit\":w");
    EXPECT_EQ(IniRead(s.ini, "Files", "LastFile"), "top.bit");
    EXPECT_EQ(IniRead(s.ini, "Files", "DDList#2"), s.bitstream);

    // Refresh starts the log afresh with the new cable report.
    ConfigureCables(s.dir, 2, {"A", "B"});
    Command(s.window, 4011);
    EXPECT_EQ(ControlText(s.window, 4009), "Devices found: 2\r\nDevice name: A\r\nDevice name: B");
}
