// Unit tests of the reading of the tool's output: the failure texts it knows, and its progress line.
#include <gtest/gtest.h>

#include <string>

#include "ops/tool_output.h"

static ToolOutput Read(const std::string& text)
{
    ToolOutput output;
    StartToolOutput(&output);
    ReadToolOutput(&output, text.data(), text.size());
    EndToolOutput(&output);
    return output;
}

// The real tool's words for a failed step; each must fail a run wherever it stands in a line.
TEST(ToolOutput, KnowsEveryFailureTextOfTheToolAndOnlyOnOneLine)
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
        ToolOutput output = Read(std::string("ok\r\n  ") + text + " (at 0x10)\rnext\n");
        EXPECT_TRUE(ToolOutputFailed(&output) && output.reason == std::string(text) + " (at 0x10)") << text;
    }
    // Split by a line end, or its two parts on two lines, a text fails nothing.
    for (const char* text : { "Verify\nfailed", "Reading Bitfile x.bit\rfailed", "failed\nReading Bitfile", "verify failed" }) {
        ToolOutput output = Read(text);
        EXPECT_FALSE(ToolOutputFailed(&output)) << text;
    }
}

TEST(ToolOutput, ProgressIsTheLineBeingWrittenOrTheLastOneWritten)
{
    struct { const char* text; bool ended; const char* progress; } cases[] = {
        { "Erasing sector  1/ 4...\n\r\t\t\tWriting data page      1/   893 at flash page      1"
          "\r\t\t\tWriting data page      2/   893 at flash page      2", false, "Writing data page      2/   893 at flash page      2" },
        { "Loading FPGA\r\n....", false, "...." }, { "done\r\n \t \r\n", true, "done" },
        { "a\x01\x7f" "b\tc", false, "a  b c" }, { "", true, "" },
    };
    for (const auto& c : cases) {
        ToolOutput output;
        StartToolOutput(&output);
        ReadToolOutput(&output, c.text, strlen(c.text));
        if (c.ended)
            EndToolOutput(&output);
        EXPECT_EQ(std::string(ToolProgressLine(&output)) + std::to_string(output.progressChanged),
                  std::string(c.progress) + (*c.text ? "1" : "0")) << c.text;
    }
}

// On a PC where FTDI's own driver holds the cable, the tool's libftdi attempt fails on every run and it
// goes on through the D2XX driver: those lines come with each success and must not fail it. (The tool's words,
// as it printed them here.)
TEST(ToolOutput, TheLibftdiFallbackLinesAreNoFailure)
{
    const std::string fallback = "Libusb not found, expect failure\n"
                                 "Could not open FTDI device (using libftdi): usb_find_busses() failed\n";
    ToolOutput output = Read("XC3SPROG (c) 2004-2011 xc3sprog project $Rev: 774 $ OS: Windows\n"
                             "Feedback on success/failure/enhancement requests:\n" + fallback +
                             "Using FTD2XX, Using JTAG frequency   6.000 MHz from undivided clock\n"
                             "JTAG loc.:   0  IDCODE: 0x22620093  Desc:  XC3S400AN Rev: C  IR length:  6\n");
    EXPECT_FALSE(ToolOutputFailed(&output)) << output.reason;
    // The cable that neither driver finds stays a failure.
    output = Read(fallback + "No FTDI device found (using FTD2XX)\n");
    EXPECT_EQ(std::string(output.reason), "No FTDI device found (using FTD2XX)");
    // Without a bridge to the flash, the tool's verdict names the cause; the line before it is a detail.
    output = Read("unknown JEDEC manufacturer: ff\nISF Bitfile probably not loaded\n");
    EXPECT_EQ(std::string(output.reason), "ISF Bitfile probably not loaded");
}
