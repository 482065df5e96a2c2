// The real program with the real programming tool and the simulated card: what a person sees, what the card holds.
#include <gtest/gtest.h>

#include "real_card.h"

using namespace testing_support;
using card_files::CardState;

// Each Load begins with a line end of its own, then a run with the runner's first line.
static const std::string kRun = "\r\nXC3SProg processing.\r\n", kLoaded = kRun + "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n";

// A design into the FPGA, and "Load FPGA from Flash": the FPGA reconfigures itself from what its in-system flash
// holds, a design as the tool writes a .bit file's configuration data there.
TEST(RealTool, LoadsADesignIntoTheFpgaAndBootsItFromTheInSystemFlash)
{
    Session s("real-fpga");
    UseRealTool(s);
    const std::string frames = WriteDesign(s.bitstream, 1);
    ASSERT_TRUE(s.Start());
    EXPECT_EQ(s.Load(s.bitstream), "Devices found: 1\r\nDevice name: X" + kLoaded);
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "jtag", frames));

    const std::string flashed = card_files::UserFrames(2), image = card_files::ConfigurationData(flashed);
    CardState card = Card(s.dir);
    card.isf.replace(0, image.size(), image);
    PutCard(s.dir, card);
    Click(s.w, 4016);
    EXPECT_EQ(Adds(s, 4001), kRun + "XC3SProg done.\r\nFlash loaded into FPGA\r\n");
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "isf", flashed));
}

// Faults of the design, the card and the cable: each Load fails with the tool's words (a design without START
// although the tool exits 0), the window stays ready, and the Load after the fault is mended works.
TEST(RealTool, FaultsFailTheLoadInTheToolsWordsAndTheNextLoadWorks)
{
    Session s("real-faults");
    UseRealTool(s);
    const std::string frames = WriteDesign(s.bitstream, 4);
    ASSERT_TRUE(s.Start());
    SetDlgItemTextA(s.w, 4003, s.bitstream.c_str());
    typedef ULONG(WINAPI * Cable)(void*);
    HMODULE driver = LoadLibraryA((s.dir + "ftd2xx.dll").c_str());
    ASSERT_NE(driver, (HMODULE)NULL);
    void* held = NULL;
    // key "design": a bitstream without START; "held": the cable held open by another program (this one), as
    // FTDI's driver lets one program at a time; "Count": the cable unplugged after the program found it.
    const struct { const char* key; const char* value; const char* reason; } faults[] = {
        { "design", "", "failed: Device failed to configure, INSTRUCTION_CAPTURE is 0x11" },
        { "Power", "0", "failed with exit code 2: No JTAG Chain found" },
        { "PullAfter", "20000", "failed with exit code 3: mpsse_send: Initial write failed" },
        { "held", "", "failed with exit code 255: FTD2XX Open failed" },
        { "Count", "", "failed with exit code 1: No FTDI device found (using FTD2XX)" },
    };
    for (const auto& f : faults) {
        const std::string key = f.key;
        SCOPED_TRACE(key);
        PutCard(s.dir, CardState());
        if (key == "design")
            WriteDesign(s.bitstream, 4, false);
        else if (key == "held")
            ASSERT_EQ(((ULONG(WINAPI*)(int, void**))(void*)GetProcAddress(driver, "FT_Open"))(0, &held), 0u);
        else if (key == "Count")
            ConfigureCables(s.dir, 0);
        else
            SetCard(s.dir, key, f.value);
        EXPECT_EQ(Adds(s, 4001), kRun + "XC3SProg " + f.reason + "\r\nIO Error\r\n");
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutA(s.w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer) && IsControlEnabled(s.w, 4001));
        EXPECT_FALSE(Card(s.dir).done);

        if (key == "design")
            WriteDesign(s.bitstream, 4);
        else if (key == "held")
            ((Cable)(void*)GetProcAddress(driver, "FT_Close"))(held);
        else if (key == "Count")
            ConfigureCables(s.dir, 1);
        else
            SetCard(s.dir, key, "");
        EXPECT_EQ(Adds(s, 4001), kLoaded);
        EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "jtag", frames));
    }
    FreeLibrary(driver);
}

// The XC3SProg Console shows the tool's words as the tool printed them: the same run made directly gives the
// same text, but for a tab, which the console shows as a blank, and the time the tool took.
TEST(RealTool, TheConsoleShowsTheToolsOwnWords)
{
    Session s("real-console");
    UseRealTool(s);
    WriteDesign(s.bitstream, 5);
    ASSERT_TRUE(s.Start());
    s.Load(s.bitstream);
    DWORD exitCode = 99;
    const std::string printed = RunToolDirectly(s, "xc3sprog.exe -c ftdi -v \"" + s.bitstream + "\":w", &exitCode);
    auto shown = [](std::string text) {
        for (char& c : text)
            c = c == '\t' ? ' ' : c;
        size_t at = text.find("Programming time ");
        return at == std::string::npos ? text : text.replace(at, text.find(" ms", at) - at, "Programming time ...");
    };
    Click(s.w, 4025);
    HWND text = GetDlgItem(s.Console(), 100);
    EXPECT_EQ(shown(WindowText(text)), shown(printed));
    EXPECT_EQ(exitCode, 0u);
    for (const char* words : { "Using FTD2XX, ", "Device IDCODE = 0x22620093\tDesc: XC3S400AN\r\n", "Bitstream length: 1885856 bits" })
        EXPECT_NE(printed.find(words), std::string::npos) << words;
}
