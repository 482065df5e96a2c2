// The real program's Load command: the tool's command lines, folder and pauses, the report, the recording.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

static const std::string kReport = "Devices found: 1\r\nDevice name: X\r\n";
static const std::string kRun = "XC3SProg processing.\r\nXC3SProg done.\r\n";
static const std::string kLoaded = kRun + "top.bit loaded into FPGA\r\n";

// Milliseconds on the clock of the tool stand-in's log.
static long long Now() { ULARGE_INTEGER t; GetSystemTimeAsFileTime((FILETIME*)&t); return (long long)(t.QuadPart / 10000); }

TEST(Load, EachBranchRunsItsCommandLinesFromTheProgramDirectoryAndReports)
{
    const std::string waitI = "Waiting for internal flash to be loaded.\r\n" + kRun + kRun + "Internal Flash loaded.\r\n";
    const std::string waitX = "Waiting for external flash to be loaded.\r\n" + kRun + kRun + "External Flash loaded.\r\n";
    const std::string failed = "XC3SProg processing.\r\nXC3SProg failed with exit code ";
    // "<file>" stands for the quoted bitstream path with ":w"; pauses: 1 = after the helper, 2 = also after the write.
    const struct { const char* name; bool withTool; const char* toolSettings; int destination; bool fpgaAfter, fromFlash;
                   std::vector<std::string> calls; std::string lines; int pauses; } cases[] = {
        {"fpga", true, "", 4012, false, false, {"<file>"}, kLoaded, 0},
        {"internal", true, "", 4014, false, false, {"xc3s400an.bit:w", "-I <file>"}, waitI, 2},
        {"external", true, "", 4013, false, false, {"vlrext.bit:w", "-I <file>"}, waitX, 2},
        {"internal, then fpga", true, "", 4014, true, false, {"xc3s400an.bit:w", "-I <file>", "-R"}, waitI + kRun, 2},
        {"external, then fpga", true, "", 4013, true, false, {"vlrext.bit:w", "-I <file>", "-R"}, waitX + kRun, 2},
        {"fpga from flash", true, "", 4013, false, true, {"-R"}, kRun + "Flash loaded into FPGA\r\n", 0},
        {"no tool", false, "", 4012, false, false, {}, "XC3SProg processing.\r\nRun XC3SProg failed!\r\nIO Error\r\n", 0},
        {"tool fails", true, "ExitCode=3\r\n", 4012, false, false, {"<file>"}, failed + "3.\r\nIO Error\r\n", 0},
        {"flash write fails", true, "FailWhen=-I\r\n", 4014, true, false, {"xc3s400an.bit:w", "-I <file>", "-R"},
         "Waiting for internal flash to be loaded.\r\n" + kRun + failed + "1.\r\nIO Error\r\n" + kRun, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Started from another folder, so that only the Load command can make the Program directory current.
        Session s("load-branch", c.withTool);
        ConfigureTool(s.dir, c.toolSettings);
        ASSERT_TRUE(s.Start("", MakeScratchDirectory("elsewhere")));
        // Clicked as a user would: the radio first, since "Load FPGA from Flash" disables the radios.
        for (int id : {c.destination, c.fpgaAfter ? 4026 : 0, c.fromFlash ? 4016 : 0})
            Click(s.w, id);
        std::string status = s.Load(s.bitstream);
        long long finished = Now();

        // Each run as "<its current directory>\ <command line>", with the expected start cut.
        const std::string start = s.dir + " xc3sprog.exe -c ftdi -v ", file = "\"" + s.bitstream + "\":w";
        std::vector<std::string> runs;
        std::vector<ToolCall> calls = ReadToolCalls(s.dir);
        for (const ToolCall& call : calls) {
            std::string run = call.directory + "\\ " + call.commandLine;
            run = run.compare(0, start.size(), start) ? run : run.substr(start.size());
            runs.push_back(run.find(file) == std::string::npos ? run : run.replace(run.find(file), file.size(), "<file>"));
        }
        EXPECT_EQ(runs, c.calls);
        if (c.pauses >= 1 && calls.size() >= 2) {
            EXPECT_GE((long long)calls[1].startMs - (long long)calls[0].endMs, 40);
            long long afterWrite = (calls.size() > 2 ? (long long)calls[2].startMs : finished) - calls[1].endMs;
            EXPECT_TRUE(c.pauses < 2 || afterWrite >= 90) << afterWrite;
        }
        EXPECT_EQ(status, kReport + c.lines);
        EXPECT_EQ(std::to_string(IsControlEnabled(s.w, 4001)) + ControlText(s.w, 4003) + "|" +
                  IniValues(s.ini, {"Files/LastFile", "Files/DDList#1"}),
                  "1" + s.bitstream + "|" + s.bitstream + "|" + s.bitstream);
    }
}

TEST(Load, MissingFileOnlyReplacesTheBoxAndRelativeNamesReachTheToolAsTyped)
{
    Session s("load-names");
    ASSERT_TRUE(s.Start("", MakeScratchDirectory("elsewhere")));
    WriteFileText(s.dir + "top.bit", "bits");
    std::string statuses = s.Load(s.bitstream) + "|" + s.Load(s.dir + "missing.bit") + "|";
    EXPECT_EQ(IniValues(s.ini, {"Files/LastFile", "Files/DDList#1"}) + std::to_string(IsControlEnabled(s.w, 4001)),
              s.bitstream + "|" + s.bitstream + "1");
    statuses += s.Load("top.bit");  // the log was kept behind the message
    EXPECT_EQ(statuses, kReport + kLoaded + "|File not found!\r\n|" + kReport + kLoaded + "\r\n" + kLoaded);
    std::vector<ToolCall> calls = ReadToolCalls(s.dir);
    ASSERT_EQ(calls.size(), 2u);  // none for the missing file
    EXPECT_EQ(calls[1].commandLine, "xc3sprog.exe -c ftdi -v \"top.bit\":w");
    EXPECT_EQ(IniValues(s.ini, {"Files/LastFile", "Files/DDList#2"}), "top.bit|" + s.bitstream);
}
