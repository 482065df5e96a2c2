// The real program's Load command: the tool's command lines, folder and pauses, the report, the recording.
#include <gtest/gtest.h>

#include "test_support.h"

using namespace testing_support;

static const std::string kReport = "Devices found: 1\r\nDevice name: X\r\n";
static const std::string kRun = "XC3SProg processing.\r\nXC3SProg done.\r\n";
static const std::string kLoaded = kRun + "top.bit loaded into FPGA\r\n";

TEST(Load, EachBranchRunsItsCommandLinesFromTheProgramDirectoryAndReports)
{
    const std::string waitI = "Waiting for internal flash to be loaded.\r\n", waitX = "Waiting for external flash to be loaded.\r\n";
    const std::string failed = "XC3SProg processing.\r\nXC3SProg failed with exit code ";
    // missing: a file taken out of the Program directory before the start.
    // "<file>" stands for the quoted bitstream path with ":w". Pauses and refused starts are checked in-process.
    const struct { const char* name; const char* missing; const char* toolSettings; int destination; bool fpgaAfter, fromFlash;
                   std::vector<std::string> calls; std::string lines; } cases[] = {
        {"fpga", "", "", 4012, false, false, {"<file>"}, kLoaded},
        {"internal, then fpga", "", "", 4014, true, false, {"xc3s400an.bit:w", "-I <file>", "-R"},
         waitI + kRun + kRun + "Internal Flash loaded.\r\n" + kRun},
        {"external, then fpga", "", "", 4013, true, false, {"vlrext.bit:w", "-I <file>", "-R"},
         waitX + kRun + kRun + "External Flash loaded.\r\n" + kRun},
        {"fpga from flash", "", "", 4013, false, true, {"-R"}, kRun + "Flash loaded into FPGA\r\n"},
        {"no tool", "xc3sprog.exe", "", 4012, false, false, {}, "XC3SProg processing.\r\nRun XC3SProg failed!\r\nIO Error\r\n"},
        // A failed step ends the Load: no write through whatever the FPGA held before, no boot from a half-written flash.
        {"helper fails", "", "FailWhen=xc3s400an\r\n", 4014, true, false, {"xc3s400an.bit:w"}, waitI + failed + "1.\r\nIO Error\r\n"},
        {"write fails", "", "[When1]\r\nMatch=-I\r\nExitCode=3\r\n", 4013, true, false, {"vlrext.bit:w", "-I <file>"},
         waitX + kRun + failed + "3.\r\nIO Error\r\n"},
        {"no helper", "xc3s400an.bit", "", 4014, true, false, {},
         waitI + "Helper bitstream xc3s400an.bit not found in the program folder.\r\nIO Error\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Started from another folder, so that only the Load command can make the Program directory current.
        Session s("load-branch");
        if (*c.missing)
            DeleteFileA((s.dir + c.missing).c_str());
        ConfigureTool(s.dir, c.toolSettings);
        ASSERT_TRUE(s.Start("", MakeScratchDirectory("elsewhere")));
        // Clicked as a user would: the radio first, since "Load FPGA from Flash" disables the radios.
        for (int id : {c.destination, c.fpgaAfter ? 4026 : 0, c.fromFlash ? 4016 : 0})
            Click(s.w, id);
        std::string status = s.Load(s.bitstream);

        // Each run as "<its current directory>\ <command line>", with the expected start cut.
        const std::string start = s.dir + " xc3sprog.exe -c ftdi -v ", file = "\"" + s.bitstream + "\":w";
        std::vector<std::string> runs;
        for (const ToolCall& call : ReadToolCalls(s.dir)) {
            std::string run = call.directory + "\\ " + call.commandLine;
            run = run.compare(0, start.size(), start) ? run : run.substr(start.size());
            runs.push_back(run.find(file) == std::string::npos ? run : run.replace(run.find(file), file.size(), "<file>"));
        }
        EXPECT_EQ(runs, c.calls);
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
    statuses += s.Load("top.bit") + "|";  // the log was kept behind the message
    Click(s.w, 4016);  // "Load FPGA from Flash" does not use the file, yet it must exist
    statuses += s.Load(s.dir + "missing.bit");
    EXPECT_EQ(statuses, kReport + kLoaded + "|File not found!\r\n|" + kReport + kLoaded + "\r\n" + kLoaded + "|File not found!\r\n");
    std::vector<ToolCall> calls = ReadToolCalls(s.dir);
    ASSERT_EQ(calls.size(), 2u);  // none for the missing file
    EXPECT_EQ(calls[1].commandLine, "xc3sprog.exe -c ftdi -v \"top.bit\":w");
    EXPECT_EQ(IniValues(s.ini, {"Files/LastFile", "Files/DDList#2"}), "top.bit|" + s.bitstream);
}
