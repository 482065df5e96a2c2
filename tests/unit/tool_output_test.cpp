// Unit test of the reading of the tool's output: the failure texts it knows. Everything else about it is the fuzz
// target's, and the tool's own words (its libftdi lines, which are no failure, among them) are the real-tool tests'.
#include <gtest/gtest.h>

#include <string>

#include "ops/tool_output.h"

// The real tool's words for a failed step; each must fail a run wherever it stands in a line.
TEST(ToolOutput, KnowsEveryFailureTextOfTheTool)
{
    const char* texts[] = {
        "Device failed to configure", "Reading Bitfile x.bit failed", "Can't open datafile", "No JTAG Chain found",
        "Cannot find device having IDCODE", "Unable to access FTDI device", "No FTDI device found",
        "FTD2XX Open failed", "FT_SetBitMode failed", "mpsse_send: Initial write failed", "readusb: Timeout readusb",
        "Can't find description for a cable named", "IOException", "ISF Bitfile probably not loaded",
        "Verify failed", "Erase failed", "Page Program failed", "Failed to programm page",
        "Programming not yet implemented", "dude, that file is larger than the flash!",
        "Unable to open File", "Device does not support reconfiguration.",
    };
    size_t rows;
    ToolFailureTexts(&rows);
    EXPECT_EQ(rows, sizeof texts / sizeof texts[0]);
    for (const char* text : texts) {
        const std::string output = std::string("ok\r\n  ") + text + " (at 0x10)\rnext\n";
        ToolOutput read;
        StartToolOutput(&read);
        ReadToolOutput(&read, output.data(), output.size());
        EndToolOutput(&read);
        EXPECT_TRUE(ToolOutputFailed(&read) && read.reason == std::string(text) + " (at 0x10)") << text;
    }
}
