// The real program with the real programming tool and the simulated card: what a person sees, what the card holds.
#include <gtest/gtest.h>

#include "real_card.h"

using namespace testing_support;
using card_files::CardState;
using card_files::Crc32;

// The report of the cable at start; each Load then begins with a line end of its own, which ends the report's
// last line, and a run with the runner's first line.
static const std::string kReport = "Devices found: 1\r\nDevice name: X\r\n", kRun = "XC3SProg processing.\r\n";

// What the FPGA runs: "none", or the design's kind, how it came there and its frame data's CRC, and DONE.
static std::string Fpga(const CardState& card)
{
    if (card.design == card_files::Design::None)
        return "none";
    char crc[16];
    snprintf(crc, sizeof crc, "%08x", (unsigned)card.frameCrc);
    return std::string(card_files::DesignName(card.design)) + " by " + card_files::ConfiguredByName(card.configuredBy) +
           " " + crc + (card.done ? " DONE" : " not started");
}
static std::string Fpga(const char* design, const char* by, const std::string& frames, bool done = true)
{
    CardState card;
    card.design = design == std::string("user") ? card_files::Design::User : card_files::Design::IsfBridge;
    card.configuredBy = by == std::string("isf") ? card_files::ConfiguredBy::Isf : card_files::ConfiguredBy::Jtag;
    card.frameCrc = Crc32(frames);
    card.done = done;
    return Fpga(card);
}

TEST(RealTool, LoadsADesignIntoTheFpgaAndBootsItFromTheInSystemFlash)
{
    Session s("real-fpga");
    UseRealTool(s);
    const std::string frames = WriteDesign(s.bitstream, 1);
    ASSERT_TRUE(s.Start());
    EXPECT_EQ(s.Load(s.bitstream), kReport + kRun + "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n");
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "jtag", frames));

    // "Load FPGA from Flash": the FPGA reconfigures itself from what its in-system flash holds, a design as the
    // tool writes a .bit file's configuration data there.
    const std::string flashed = card_files::UserFrames(2);
    CardState card = Card(s.dir);
    const std::string image = card_files::ConfigurationData(flashed);
    card.isf.replace(0, image.size(), image);
    PutCard(s.dir, card);
    Click(s.w, 4016);
    std::string box = ControlText(s.w, 4009);
    EXPECT_EQ(s.Load(s.bitstream).substr(box.size()), "\r\n" + kRun + "XC3SProg done.\r\nFlash loaded into FPGA\r\n");
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "isf", flashed));
}

// A bitstream without a START command configures nothing: the tool says so and still exits 0.
TEST(RealTool, ADesignThatNeverStartsFailsTheLoadInTheToolsWords)
{
    Session s("real-nostart");
    UseRealTool(s);
    const std::string frames = WriteDesign(s.bitstream, 3, false);
    ASSERT_TRUE(s.Start());
    std::string status = s.Load(s.bitstream);
    const std::string failed = kReport + kRun + "XC3SProg failed: Device failed to configure, INSTRUCTION_CAPTURE is 0x";
    EXPECT_EQ(status.substr(0, failed.size()), failed);
    EXPECT_EQ(status.substr(status.size() - 12), "\r\nIO Error\r\n");
    EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "jtag", frames, false));
}

// Faults of the card and the cable: each Load fails with the tool's words, the window stays ready, and the
// Load after the fault is mended works.
TEST(RealTool, NoPowerOrCableFailsTheLoadInTheToolsWordsAndTheNextLoadWorks)
{
    Session s("real-faults");
    UseRealTool(s);
    const std::string frames = WriteDesign(s.bitstream, 4);
    ASSERT_TRUE(s.Start());
    // key "held": the cable held open by another program (this one), as FTDI's driver lets one program at a time;
    // "Count": the cable unplugged after the program found it.
    const struct { const char* name; const char* key; const char* value; const char* reason; } faults[] = {
        { "no power", "Power", "0", "XC3SProg failed with exit code 2: No JTAG Chain found" },
        { "cable pulled during the load", "PullAfter", "20000", "XC3SProg failed with exit code 3: mpsse_send:" },
        { "cable held by another program", "held", "", "XC3SProg failed with exit code 255: FTD2XX Open failed" },
        { "cable unplugged", "Count", "", "XC3SProg failed with exit code 1: No FTDI device found (using FTD2XX)" },
    };
    typedef ULONG(WINAPI * OpenCable)(int, void**);
    typedef ULONG(WINAPI * CloseCable)(void*);
    HMODULE driver = LoadLibraryA((s.dir + "ftd2xx.dll").c_str());
    ASSERT_NE(driver, (HMODULE)NULL);
    void* held = NULL;
    for (const auto& f : faults) {
        SCOPED_TRACE(f.name);
        PutCard(s.dir, CardState());
        if (f.key == std::string("held"))
            ASSERT_EQ(((OpenCable)(void*)GetProcAddress(driver, "FT_Open"))(0, &held), 0u);
        else if (f.key == std::string("Count"))
            ConfigureCables(s.dir, 0);
        else
            SetCard(s.dir, f.key, f.value);
        std::string box = ControlText(s.w, 4009), added = s.Load(s.bitstream).substr(box.size());
        EXPECT_EQ(added.substr(0, 2 + kRun.size() + strlen(f.reason)), "\r\n" + kRun + f.reason) << added;
        EXPECT_EQ(added.substr(added.size() - 12), "\r\nIO Error\r\n");
        DWORD_PTR answer = 0;
        EXPECT_TRUE(SendMessageTimeoutA(s.w, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer));
        EXPECT_TRUE(IsControlEnabled(s.w, 4001));
        EXPECT_FALSE(Card(s.dir).done);

        if (f.key == std::string("held"))
            ((CloseCable)(void*)GetProcAddress(driver, "FT_Close"))(held);
        else if (f.key == std::string("Count"))
            ConfigureCables(s.dir, 1);
        else
            SetCard(s.dir, f.key, "");
        box = ControlText(s.w, 4009);
        EXPECT_EQ(s.Load(s.bitstream).substr(box.size()), "\r\n" + kRun + "XC3SProg done.\r\ntop.bit loaded into FPGA\r\n");
        EXPECT_EQ(Fpga(Card(s.dir)), Fpga("user", "jtag", frames));
    }
    FreeLibrary(driver);
}

// The XC3SProg Console shows the tool's words as the tool printed them: the same run made directly gives the
// same text, line for line.
TEST(RealTool, TheConsoleShowsTheToolsOwnWords)
{
    Session s("real-console");
    UseRealTool(s);
    WriteDesign(s.bitstream, 5);
    ASSERT_TRUE(s.Start());
    s.Load(s.bitstream);
    DWORD exitCode = 99;
    std::string printed = RunToolDirectly(s, "xc3sprog.exe -c ftdi -v \"" + s.bitstream + "\":w", &exitCode);
    EXPECT_EQ(exitCode, 0u);
    // The console shows each character as printed but a tab, a control character, as a blank; the time the
    // tool took differs between the two runs.
    auto shown = [](const std::string& text) {
        std::string out;
        for (char c : text)
            out += c == '\t' ? ' ' : c;
        size_t at = out.find("Programming time ");
        if (at != std::string::npos)
            out.replace(at, out.find(" ms", at) - at, "Programming time ...");
        return out;
    };
    Click(s.w, 4025);
    HWND text = GetDlgItem(FindProcessWindow(s.process.dwProcessId, "VLR_ConsoleClass", 5000), 100);
    EXPECT_EQ(shown(WindowText(text)), shown(printed));
    for (const char* words : { "Using FTD2XX, ", "Device IDCODE = 0x22620093\tDesc: XC3S400AN\r\n", "Bitstream length: 1885856 bits" })
        EXPECT_NE(printed.find(words), std::string::npos) << words;
}
